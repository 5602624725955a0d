// The personality file reader: which elements and attributes make which
// definitions, and the lookups over the process-wide list.
#include "personality/personality_xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "personality/personality.h"
#include "personality/personality_test_helpers.h"
#include "support/test_log.h"

namespace {

class PersonalityXmlTest : public testing::Test {
 protected:
  PersonalityXmlTest() {
    fh::ResetPersonalitiesForTesting();
    EXPECT_EQ(InitPersonality(), 1);
  }
  ~PersonalityXmlTest() override { fh::ResetPersonalitiesForTesting(); }

  fhtest::TempDir dir_;
  fhtest::TestLog log_;
};

TEST_F(PersonalityXmlTest, ReadsPersonalitiesByTheFileRules) {
  const struct {
    const char* name;
    const char* body;  // the elements inside the root element
    const char* expected;
  } cases[] = {
      {"names ignore letter case",
       R"(<personalityconfiguration PERSONALITYNAME="P" DominantTableId="D" Description="d">
            <CONSTITUENTTABLE TableIndex="1" TABLEID="A" FkConstraint_Id="fk" MANDATORY="true"/>
          </personalityconfiguration>)",
       "P(D)[d]: A#1!@fk"},
      {"mandatory is false only for false in any case",
       R"(<PersonalityConfiguration personalityname="P" dominanttableid="D">
            <ConstituentTable tableindex="1" tableid="A" mandatory="FALSE"/>
            <ConstituentTable tableindex="2" tableid="B" mandatory="false"/>
            <ConstituentTable tableindex="3" tableid="C" mandatory="no"/>
            <ConstituentTable tableindex="4" tableid="E" mandatory="TRUE"/>
            <ConstituentTable tableindex="5" tableid="F"/>
          </PersonalityConfiguration>)",
       "P(D)[-]: A#1 B#2 C#3! E#4! F#5"},
      {"index 0 stops reading its entry",
       R"(<PersonalityConfiguration personalityname="P" dominanttableid="D">
            <ConstituentTable tableindex="0" tableid="X" mandatory="true"/>
            <ConstituentTable tableid="Y" tableindex="0" mandatory="true" fkconstraint_id="k"/>
            <ConstituentTable tableid="Z" tableindex="00" mandatory="true"/>
          </PersonalityConfiguration>)",
       "P(D)[-]: #0 Y#0 Z#0!"},
      {"the dominant table listed again is dropped",
       R"(<PersonalityConfiguration personalityname="P" dominanttableid="Orders">
            <ConstituentTable tableid="orders" tableindex="0"/>
            <ConstituentTable tableindex="1" tableid="ORDERS"/>
            <ConstituentTable tableindex="2" tableid="Lines"/>
          </PersonalityConfiguration>)",
       "P(Orders)[-]: Lines#2"},
      {"constituents end at the first other element",
       R"(<PersonalityConfiguration personalityname="P" dominanttableid="D"/>
          <ConstituentTable tableindex="1" tableid="A"/>
          <Other/>
          <ConstituentTable tableindex="2" tableid="B"/>
          <PersonalityConfiguration personalityname="Q" dominanttableid="E">
            <ConstituentTable tableindex="1" tableid="C"/>
            <Wrapper><ConstituentTable tableindex="2" tableid="G"/></Wrapper>
          </PersonalityConfiguration>)",
       "P(D)[-]: A#1; Q(E)[-]: C#1"},
      {"a trailing personality without constituents",
       R"(<DominantTableConfig dominanttableid="D" isindexed="false"/>
          <PersonalityConfiguration personalityname="P" dominanttableid="D">
            <!-- no tables yet -->
          </PersonalityConfiguration>
          <PersonalityConfiguration personalityname="Last" dominanttableid="D"/>)",
       "P(D)[-]:; Last(D)[-]:"},
      {"nested elements follow their parent",
       R"(<Group><PersonalityConfiguration personalityname="P" dominanttableid="D">
            <ConstituentTable tableindex="1" tableid="A"/></PersonalityConfiguration></Group>
          <Group><ConstituentTable tableindex="9" tableid="Stray"/></Group>)",
       "P(D)[-]: A#1"},
      {"nothing to read", "<Other/>", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fh::ResetPersonalitiesForTesting();
    ASSERT_EQ(InitPersonality(), 1);
    EXPECT_EQ(fhtest::ReadPersonalityText(dir_, std::string("<Root>") + c.body + "</Root>"), 1);
    EXPECT_EQ(fhtest::DescribePersonalities(), c.expected);
  }
}

TEST_F(PersonalityXmlTest, RefusesWhatCannotBeRead) {
  const std::string file = dir_.Sub("personality.xml");
  const struct {
    const char* name;
    const char* xml;
    bool initialised;
    int result;
    std::string line;
  } cases[] = {
      {"unclosed element", "<Root><PersonalityConfiguration personalityname='P'", true, 0,
       "Could not parse file " + file + "\n"},
      {"empty file", "", true, 0, "Could not parse file " + file + "\n"},
      {"the root element itself is no personality",
       "<PersonalityConfiguration personalityname='P' dominanttableid='D'/>", true, 1, ""},
      {"no list yet", "<R><PersonalityConfiguration personalityname='P'/></R>", false, 0,
       "Cannot Add personality P into gv_personalityDefnVect.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fh::ResetPersonalitiesForTesting();
    if (c.initialised) {
      ASSERT_EQ(InitPersonality(), 1);
    }
    EXPECT_EQ(fhtest::ReadPersonalityText(dir_, c.xml), c.result);
    EXPECT_EQ(fhtest::DescribePersonalities(), "");
    if (!c.line.empty()) {
      EXPECT_TRUE(log_.HasLine("[ERROR]", c.line));
    }
  }
  EXPECT_EQ(CreatePersonalityFromXMLFile(dir_.Sub("missing.xml").c_str()), 0);
}

TEST_F(PersonalityXmlTest, LooksUpAndPrintsTheList) {
  EXPECT_EQ(GetDominantTables(), std::nullopt);  // no personalities yet
  ASSERT_EQ(fhtest::ReadPersonalityText(dir_, R"(<R>
      <PersonalityConfiguration personalityname="Order" dominanttableid="Orders" description="o">
        <ConstituentTable tableindex="0"/>
        <ConstituentTable tableindex="1" tableid="Lines" fkconstraint_id="fk" mandatory="yes"/>
        <ConstituentTable tableindex="2" tableid="Notes" mandatory="false"/>
      </PersonalityConfiguration>
      <PersonalityConfiguration personalityname="Customer" dominanttableid="Orders"/></R>)"),
            1);
  ASSERT_EQ(InitPersonality(), 1);  // a second call keeps the list
  EXPECT_EQ(GetPersonalityNames(), (std::vector<std::string>{"Order", "Customer"}));
  EXPECT_EQ(GetDominantTables(), (std::vector<std::string>{"Orders", "Orders"}));
  EXPECT_EQ(GetConstituentTables("Order"), (std::vector<std::string>{"Lines", "Notes"}));
  EXPECT_EQ(GetConstituentTables("Customer"), std::vector<std::string>{});
  EXPECT_EQ(GetConstituentTables("order"), std::nullopt);  // names compare exactly
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Personality order not found in gv_personalityDefnVect\n"));
  EXPECT_EQ(GetPersonalityDefn(nullptr), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot get personality.  Personality name is NULL\n"));

  EXPECT_EQ(PrintPersonalityDefn("Order"), 1);
  EXPECT_TRUE(log_.Contains(
      " [DEBUG] \n\nPersonality Name: Order\nDescription: o\nDominant Table: Orders\n\n"
      "Constituent Table Information\n"
      "Constituent Table Name: \nConstituent Table Index: 0\nForeign Key: (null)\n"
      "Mandatory Status: 0\n\n"
      "Constituent Table Name: Lines\nConstituent Table Index: 1\nForeign Key: fk\n"
      "Mandatory Status: 1\n\n"
      "Constituent Table Name: Notes\nConstituent Table Index: 2\nForeign Key: (null)\n"
      "Mandatory Status: 0\n\n\n"));
  EXPECT_EQ(PrintPersonalityDefn("Unknown"), 0);
  EXPECT_EQ(PrintPersonalityDefn(nullptr), 0);
  EXPECT_TRUE(log_.HasLine("[TRACE]", "@@@@ Inside GetPersonalityDefn @@@@\n"));
}

}  // namespace
