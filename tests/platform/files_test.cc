#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/directory_search.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "run_as_nobody.h"
#include "support/system_call_faults.h"
#include "support/test_support.h"

namespace {

using fhtest::FileExists;
using fhtest::ReadFileBytes;
using fhtest::WriteFileBytes;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { openHandlesBefore_ = fh::OpenHandleCount(); }
  void TearDown() override {
    EXPECT_EQ(openHandlesBefore_, fh::OpenHandleCount()) << "handle leak";
  }

  std::string Path(const std::string& name) const { return dir_.Sub(name); }

  // Opens with the given access and disposition; the handle (or
  // INVALID_HANDLE_VALUE) and the last error right after the call.
  static HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD* error,
                     DWORD flags = 0) {
    SetLastError(12345);
    HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                disposition, flags, nullptr);
    *error = GetLastError();
    return handle;
  }

  static LONGLONG SizeOf(HANDLE handle) {
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(handle, &size));
    return size.QuadPart;
  }

  fhtest::TempDir dir_;
  std::size_t openHandlesBefore_ = 0;
};

// --- CreateFileA dispositions ---

TEST_F(FilesTest, CreateNewCreatesOnceThenReportsFileExists) {
  DWORD error = 0;
  HANDLE file = Open(Path("new.txt"), GENERIC_WRITE, CREATE_NEW, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, error);
  EXPECT_TRUE(FileExists(Path("new.txt")));
  EXPECT_TRUE(CloseHandle(file));

  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("new.txt"), GENERIC_WRITE, CREATE_NEW, &error));
  EXPECT_EQ(ERROR_FILE_EXISTS, error);
}

TEST_F(FilesTest, CreateAlwaysTruncatesAndReportsAnExistingFile) {
  DWORD error = 0;
  HANDLE file = Open(Path("fresh.txt"), GENERIC_WRITE, CREATE_ALWAYS, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, error);
  CloseHandle(file);

  ASSERT_TRUE(WriteFileBytes(Path("old.txt"), "content"));
  file = Open(Path("old.txt"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(ERROR_ALREADY_EXISTS, error);
  EXPECT_EQ(0, SizeOf(file));
  CloseHandle(file);
}

TEST_F(FilesTest, OpenAlwaysKeepsContentAndReportsAnExistingFile) {
  ASSERT_TRUE(WriteFileBytes(Path("kept.txt"), "12345"));
  DWORD error = 0;
  HANDLE file = Open(Path("kept.txt"), GENERIC_READ, OPEN_ALWAYS, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(ERROR_ALREADY_EXISTS, error);
  EXPECT_EQ(5, SizeOf(file));
  CloseHandle(file);

  file = Open(Path("made.txt"), GENERIC_READ, OPEN_ALWAYS, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, error);
  EXPECT_TRUE(FileExists(Path("made.txt")));
  CloseHandle(file);
}

TEST_F(FilesTest, OpenExistingTellsMissingFileFromMissingPath) {
  ASSERT_TRUE(WriteFileBytes(Path("here.txt"), "x"));
  DWORD error = 0;
  HANDLE file = Open(Path("here.txt"), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, error);
  CloseHandle(file);

  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("absent.txt"), GENERIC_READ, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, error);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("nodir/x.txt"), GENERIC_READ, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, error);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("nodir/x.txt"), GENERIC_WRITE, CREATE_NEW, &error));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, error);
  // A file used as a directory on the way is a missing path too.
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("here.txt/x"), GENERIC_READ, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, error);
}

TEST_F(FilesTest, TruncateExistingNeedsWriteAccessAndAnExistingFile) {
  ASSERT_TRUE(WriteFileBytes(Path("t.txt"), "0123456789"));
  DWORD error = 0;
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("t.txt"), GENERIC_READ, TRUNCATE_EXISTING, &error));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, error);
  EXPECT_EQ(10u, ReadFileBytes(Path("t.txt")).size());

  HANDLE file = Open(Path("t.txt"), GENERIC_WRITE, TRUNCATE_EXISTING, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0, SizeOf(file));
  CloseHandle(file);

  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("none.txt"), GENERIC_WRITE, TRUNCATE_EXISTING, &error));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, error);
}

TEST_F(FilesTest, TruncatingUnderAnAppendingStreamKeepsTheStreamWriting) {
  std::FILE* log = OpenFileStream(Path("live.log").c_str(), "a+");
  ASSERT_NE(nullptr, log);
  std::fputs("before truncation\n", log);
  std::fflush(log);

  DWORD error = 0;
  HANDLE file = Open(Path("live.log"), GENERIC_WRITE, TRUNCATE_EXISTING, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);

  std::fputs("after\n", log);
  std::fclose(log);
  EXPECT_EQ("after\n", ReadFileBytes(Path("live.log")));
}

TEST_F(FilesTest, BadArgumentsFailWithTheirCodes) {
  DWORD error = 0;
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("", GENERIC_READ, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, error);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("x*.log"), GENERIC_READ, OPEN_ALWAYS, &error));
  EXPECT_EQ(ERROR_INVALID_NAME, error);
  EXPECT_FALSE(FileExists(Path("x*.log")));
  for (DWORD disposition : {0u, 6u, 0xFFFFFFFFu}) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("d.txt"), GENERIC_WRITE, disposition, &error));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, error) << disposition;
  }
  EXPECT_FALSE(FileExists(Path("d.txt")));
}

TEST_F(FilesTest, WindowsStylePathsAreNormalised) {
  ASSERT_EQ(0, MakeOneDirectory(Path("logs").c_str()));
  std::string windowsPath = dir_.path() + "\\logs\\\\app.log";
  DWORD error = 0;
  HANDLE file = Open(windowsPath, GENERIC_WRITE, CREATE_NEW, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EXPECT_TRUE(FileExists(Path("logs/app.log")));
}

// --- directories and metadata opens ---

TEST_F(FilesTest, DirectoryNeedsBackupSemantics) {
  ASSERT_EQ(0, MakeOneDirectory(Path("sub").c_str()));
  DWORD error = 0;
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("sub"), GENERIC_READ, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_ACCESS_DENIED, error);

  // The log-size check opens for reading and writing with backup semantics.
  HANDLE directory = Open(Path("sub"), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, &error,
                          FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(INVALID_HANDLE_VALUE, directory);
  EXPECT_EQ(0, SizeOf(directory));
  CloseHandle(directory);

  // Backup semantics on a plain file changes nothing.
  ASSERT_TRUE(WriteFileBytes(Path("f.txt"), "abc"));
  HANDLE file = Open(Path("f.txt"), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, &error,
                     FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(3, SizeOf(file));
  CloseHandle(file);
}

TEST_F(FilesTest, MetadataOpenMeasuresWithoutDataAccess) {
  ASSERT_TRUE(WriteFileBytes(Path("m.txt"), std::string(1234, 'm')));
  DWORD error = 0;
  for (DWORD access : {0u, READ_CONTROL}) {
    HANDLE file = Open(Path("m.txt"), access, OPEN_EXISTING, &error);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << access;
    EXPECT_EQ(1234, SizeOf(file));
    CloseHandle(file);
  }
  // A metadata open may still create.
  HANDLE created = Open(Path("m2.txt"), READ_CONTROL, CREATE_NEW, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, created);
  EXPECT_TRUE(FileExists(Path("m2.txt")));
  CloseHandle(created);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("gone.txt"), READ_CONTROL, OPEN_EXISTING, &error));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, error);
}

TEST_F(FilesTest, PermissionsApplyToAnUnprivilegedUser) {
  if (!fhtest::CanRunAsNobody()) GTEST_SKIP() << "needs root to switch to nobody";
  ASSERT_TRUE(WriteFileBytes(Path("secret.txt"), "secret"));
  ASSERT_EQ(0, chmod(Path("secret.txt").c_str(), 0600));
  ASSERT_EQ(0, MakeOneDirectory(Path("closed").c_str()));
  ASSERT_TRUE(WriteFileBytes(Path("closed/inner.txt"), "inner"));
  ASSERT_EQ(0, chmod(Path("closed").c_str(), 0700));

  auto openError = [](std::string path, DWORD access) {
    return [path, access]() -> int {
      HANDLE file = CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
      LARGE_INTEGER size{};
      int result = GetFileSizeEx(file, &size) ? 0 : 100;
      CloseHandle(file);
      return result;
    };
  };
  EXPECT_EQ(5, fhtest::RunAsNobody(openError(Path("secret.txt"), GENERIC_READ)));
  EXPECT_EQ(5, fhtest::RunAsNobody(openError(Path("secret.txt"), GENERIC_WRITE)));
  // The size query's metadata open needs no permission on the file itself.
  EXPECT_EQ(0, fhtest::RunAsNobody(openError(Path("secret.txt"), READ_CONTROL)));
  // A directory on the way that may not be searched denies access.
  EXPECT_EQ(5, fhtest::RunAsNobody(openError(Path("closed/inner.txt"), READ_CONTROL)));
  EXPECT_EQ(5, fhtest::RunAsNobody([this] {
              WIN32_FIND_DATAA data{};
              HANDLE search = FindFirstFileA(Path("closed/*").c_str(), &data);
              return search == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError()) : 0;
            }));
  EXPECT_EQ(5, fhtest::RunAsNobody([this] {
              return CreateDirectoryA(Path("closed/new").c_str(), nullptr)
                         ? 0
                         : static_cast<int>(GetLastError());
            }));
  EXPECT_EQ(13, fhtest::RunAsNobody([this] { return MakeOneDirectory(Path("closed/n").c_str()); }));
}

// --- GetFileSizeEx ---

TEST_F(FilesTest, FileSizeAboveFourGigabytes) {
  const LONGLONG size = (5LL << 30) + 7;  // sparse: no disk space used
  ASSERT_TRUE(WriteFileBytes(Path("big.bin"), ""));
  ASSERT_EQ(0, truncate(Path("big.bin").c_str(), size));
  DWORD error = 0;
  HANDLE file = Open(Path("big.bin"), READ_CONTROL, OPEN_EXISTING, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  LARGE_INTEGER result{};
  ASSERT_TRUE(GetFileSizeEx(file, &result));
  EXPECT_EQ(size, result.QuadPart);
  EXPECT_EQ(1, result.u.HighPart);
  CloseHandle(file);
}

TEST_F(FilesTest, FileSizeOfAHandleThatIsNoOpenFile) {
  LARGE_INTEGER size{};
  for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr),
                     reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7777770))}) {
    SetLastError(0);
    EXPECT_FALSE(GetFileSizeEx(bad, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  }
  ASSERT_TRUE(WriteFileBytes(Path("s.txt"), "s"));
  DWORD error = 0;
  HANDLE file = Open(Path("s.txt"), GENERIC_READ, OPEN_EXISTING, &error);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_FALSE(GetFileSizeEx(file, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_FALSE(GetFileSizeEx(file, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  // A search handle is not a file.
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA(Path("*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_FALSE(GetFileSizeEx(search, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  FindClose(search);
}

// --- CopyFileA ---

bool HasCopyLeftovers(const std::string& directory) {
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename().string().rfind(".fhcopy-", 0) == 0) return true;
  }
  return false;
}

TEST_F(FilesTest, CopyCreatesOrReplacesAndKeepsPermissionBits) {
  ASSERT_TRUE(WriteFileBytes(Path("src.log"), "line one\nline two\n"));
  ASSERT_EQ(0, chmod(Path("src.log").c_str(), 0640));
  ASSERT_TRUE(CopyFileA(Path("src.log").c_str(), Path("dst.log").c_str(), TRUE));
  EXPECT_EQ("line one\nline two\n", ReadFileBytes(Path("dst.log")));
  struct stat info {};
  ASSERT_EQ(0, stat(Path("dst.log").c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 07777);

  ASSERT_TRUE(WriteFileBytes(Path("src.log"), "replacement"));
  ASSERT_TRUE(CopyFileA(Path("src.log").c_str(), Path("dst.log").c_str(), FALSE));
  EXPECT_EQ("replacement", ReadFileBytes(Path("dst.log")));
  EXPECT_FALSE(HasCopyLeftovers(dir_.path()));
}

TEST_F(FilesTest, CopyWithFailIfExistsLeavesTheTargetAlone) {
  ASSERT_TRUE(WriteFileBytes(Path("a.log"), "new"));
  ASSERT_TRUE(WriteFileBytes(Path("b.log"), "old"));
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(Path("a.log").c_str(), Path("b.log").c_str(), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("old", ReadFileBytes(Path("b.log")));
  EXPECT_FALSE(HasCopyLeftovers(dir_.path()));
}

TEST_F(FilesTest, CopyLargeAndEmptyFiles) {
  std::string large;
  for (int i = 0; i < 200000; ++i) large += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(WriteFileBytes(Path("large"), large));
  ASSERT_TRUE(CopyFileA(Path("large").c_str(), Path("large.copy").c_str(), FALSE));
  EXPECT_EQ(large, ReadFileBytes(Path("large.copy")));
  ASSERT_TRUE(WriteFileBytes(Path("empty"), ""));
  ASSERT_TRUE(CopyFileA(Path("empty").c_str(), Path("large.copy").c_str(), FALSE));
  EXPECT_EQ("", ReadFileBytes(Path("large.copy")));
}

TEST_F(FilesTest, CopyFailures) {
  ASSERT_TRUE(WriteFileBytes(Path("f.txt"), "f"));
  ASSERT_EQ(0, MakeOneDirectory(Path("d").c_str()));
  struct Case {
    std::string from;
    std::string to;
    BOOL failIfExists;
    DWORD error;
  } cases[] = {
      {Path("missing"), Path("x"), FALSE, ERROR_FILE_NOT_FOUND},
      {Path("nodir/missing"), Path("x"), FALSE, ERROR_PATH_NOT_FOUND},
      {Path("f.txt"), Path("nodir/x"), FALSE, ERROR_PATH_NOT_FOUND},
      {Path("d"), Path("x"), FALSE, ERROR_ACCESS_DENIED},
      {Path("f.txt"), Path("d"), FALSE, ERROR_ACCESS_DENIED},
      {Path("f.txt"), Path("f.txt"), FALSE, ERROR_SHARING_VIOLATION},
      {Path("f.txt"), Path("f.txt"), TRUE, ERROR_FILE_EXISTS},
      {Path("f*.txt"), Path("x"), FALSE, ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(c.from.c_str(), c.to.c_str(), c.failIfExists)) << c.from << " " << c.to;
    EXPECT_EQ(c.error, GetLastError()) << c.from << " -> " << c.to;
  }
  EXPECT_FALSE(FileExists(Path("x")));
  EXPECT_EQ("f", ReadFileBytes(Path("f.txt")));
  EXPECT_FALSE(CopyFileA(nullptr, Path("x").c_str(), FALSE));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(FilesTest, CopyThatFailsMidwayLeavesTheOldTarget) {
  // Reading this process's memory at offset 0 fails with an I/O error after
  // the temporary copy has been started.
  ASSERT_TRUE(WriteFileBytes(Path("target"), "previous content"));
  SetLastError(0);
  EXPECT_FALSE(CopyFileA("/proc/self/mem", Path("target").c_str(), FALSE));
  EXPECT_NE(0u, GetLastError());
  EXPECT_EQ("previous content", ReadFileBytes(Path("target")));
  EXPECT_FALSE(HasCopyLeftovers(dir_.path()));
}

// Each step of a copy failing in turn: the old target stays, no temporary
// file is left, and the step's error is the result.
TEST_F(FilesTest, CopyFailingAtAnyStepLeavesTheOldTarget) {
  const std::string source(200000, 's');  // several chunks
  ASSERT_TRUE(WriteFileBytes(Path("source"), source));
  struct Case {
    fhtest::Call call;
    int nth;
    int err;
    DWORD expected;
  } cases[] = {
      {fhtest::Call::kOpen, 1, EACCES, ERROR_ACCESS_DENIED},
      {fhtest::Call::kMakeTemporary, 1, ENOSPC, ERROR_DISK_FULL},
      {fhtest::Call::kRead, 2, EIO, ERROR_WRITE_FAULT},
      {fhtest::Call::kWrite, 2, ENOSPC, ERROR_DISK_FULL},
      {fhtest::Call::kClose, 1, EIO, ERROR_WRITE_FAULT},
      {fhtest::Call::kRename, 1, ENOSPC, ERROR_DISK_FULL},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(Path("target"), "previous content"));
    {
      fhtest::SystemCallFault fault(c.call, c.nth, c.err);
      SetLastError(0);
      EXPECT_FALSE(CopyFileA(Path("source").c_str(), Path("target").c_str(), FALSE));
      EXPECT_EQ(c.expected, GetLastError()) << static_cast<int>(c.call);
      EXPECT_EQ(fault.failures(), 1) << static_cast<int>(c.call);
    }
    EXPECT_EQ("previous content", ReadFileBytes(Path("target")));
    EXPECT_FALSE(HasCopyLeftovers(dir_.path()));
  }
  EXPECT_TRUE(CopyFileA(Path("source").c_str(), Path("target").c_str(), FALSE));
  EXPECT_EQ(source, ReadFileBytes(Path("target")));
}

TEST_F(FilesTest, CopyIntoAClosedDirectoryOverwritesAWritableTargetInPlace) {
  if (!fhtest::CanRunAsNobody()) GTEST_SKIP() << "needs root to switch to nobody";
  ASSERT_EQ(0, MakeOneDirectory(Path("ro").c_str()));
  ASSERT_TRUE(WriteFileBytes(Path("ro/target"), "old"));
  ASSERT_TRUE(WriteFileBytes(Path("source"), "new content"));
  ASSERT_EQ(0, chmod(Path("ro/target").c_str(), 0666));
  ASSERT_EQ(0, chmod(Path("source").c_str(), 0644));
  ASSERT_EQ(0, chmod(Path("ro").c_str(), 0755));  // nobody may not create here
  EXPECT_EQ(0, fhtest::RunAsNobody([this] {
              return CopyFileA(Path("source").c_str(), Path("ro/target").c_str(), FALSE)
                         ? 0
                         : static_cast<int>(GetLastError());
            }));
  EXPECT_EQ("new content", ReadFileBytes(Path("ro/target")));
  // A new file cannot be made there.
  EXPECT_EQ(5, fhtest::RunAsNobody([this] {
              return CopyFileA(Path("source").c_str(), Path("ro/other").c_str(), FALSE)
                         ? 0
                         : static_cast<int>(GetLastError());
            }));
}

// --- DeleteFileA, CreateDirectoryA, GetFileAttributesA ---

TEST_F(FilesTest, DeleteFile) {
  ASSERT_TRUE(WriteFileBytes(Path("gone.txt"), "x"));
  EXPECT_TRUE(DeleteFileA((dir_.path() + "\\gone.txt").c_str()));
  EXPECT_FALSE(FileExists(Path("gone.txt")));

  ASSERT_EQ(0, MakeOneDirectory(Path("dir").c_str()));
  struct Case {
    const char* name;
    DWORD error;
  } cases[] = {{"gone.txt", ERROR_FILE_NOT_FOUND},
               {"nodir/gone.txt", ERROR_PATH_NOT_FOUND},
               {"dir", ERROR_ACCESS_DENIED}};
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(Path(c.name).c_str())) << c.name;
    EXPECT_EQ(c.error, GetLastError()) << c.name;
  }
  EXPECT_TRUE(FileExists(Path("dir")));
}

TEST_F(FilesTest, CreateDirectoryOneLevel) {
  EXPECT_TRUE(CreateDirectoryA(Path("one").c_str(), nullptr));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(Path("one").c_str()));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(Path("one").c_str(), nullptr));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_FALSE(CreateDirectoryA(Path("two/three").c_str(), nullptr));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_FALSE(FileExists(Path("two")));
  ASSERT_TRUE(WriteFileBytes(Path("file"), ""));
  EXPECT_FALSE(CreateDirectoryA(Path("file").c_str(), nullptr));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_TRUE(CreateDirectoryA((dir_.path() + "\\one\\sub\\").c_str(), nullptr));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(Path("one/sub").c_str()));
}

TEST_F(FilesTest, FileAttributes) {
  ASSERT_TRUE(WriteFileBytes(Path("plain"), "p"));
  EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesA(Path("plain").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("nothing").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("no/thing").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

// --- the C runtime helpers the log uses ---

TEST_F(FilesTest, OpenFileStreamNormalisesAndClosesOnExec) {
  ASSERT_EQ(0, MakeOneDirectory(Path("logs").c_str()));
  std::FILE* stream = OpenFileStream((dir_.path() + "\\logs\\\\s.log").c_str(), "a+");
  ASSERT_NE(nullptr, stream);
  EXPECT_NE(0, fcntl(fileno(stream), F_GETFD) & FD_CLOEXEC);
  std::fputs("text", stream);
  std::fclose(stream);
  EXPECT_EQ("text", ReadFileBytes(Path("logs/s.log")));

  stream = OpenFileStream(Path("logs/s.log").c_str(), "w");
  ASSERT_NE(nullptr, stream);
  std::fclose(stream);
  EXPECT_EQ("", ReadFileBytes(Path("logs/s.log")));

  errno = 0;
  EXPECT_EQ(nullptr, OpenFileStream(Path("none/s.log").c_str(), "a+"));
  EXPECT_EQ(ENOENT, errno);
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_EQ(nullptr, OpenFileStream(nullptr, "r"));
  EXPECT_EQ(EINVAL, errno);
  EXPECT_EQ(nullptr, OpenFileStream(Path("logs/s.log").c_str(), nullptr));
}

TEST_F(FilesTest, MakeOneDirectoryReturnsTheCErrorNumber) {
  EXPECT_EQ(0, MakeOneDirectory((dir_.path() + "\\made").c_str()));
  EXPECT_EQ(EEXIST, MakeOneDirectory(Path("made").c_str()));
  EXPECT_EQ(ENOENT, MakeOneDirectory(Path("a/b").c_str()));
  EXPECT_EQ(EINVAL, MakeOneDirectory(nullptr));
}

}  // namespace
