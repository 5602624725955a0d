// Clang thread-safety annotations. With clang and -Wthread-safety the
// compiler checks that guarded state is touched only under its lock and that
// every lock taken is released; with g++ the macros expand to nothing.
#pragma once

#if defined(__clang__)
#define FH_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define FH_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) FH_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY FH_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) FH_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) FH_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) FH_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) FH_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) FH_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) FH_THREAD_ANNOTATION(requires_shared_capability(__VA_ARGS__))
#define ACQUIRE(...) FH_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) FH_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define RELEASE(...) FH_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) FH_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define RELEASE_GENERIC(...) FH_THREAD_ANNOTATION(release_generic_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) FH_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) FH_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) FH_THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) FH_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS FH_THREAD_ANNOTATION(no_thread_safety_analysis)
