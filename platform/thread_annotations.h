// Lock rules written in code: clang's -Wthread-safety checks that a field marked
// ZC_GUARDED_BY(mutex_) is only touched with that mutex held and that a function marked
// ZC_REQUIRES(mutex_) is only called so. Other compilers see nothing. Use them with the
// annotated Mutex of platform/mutex.h; std::mutex carries no annotations of its own.
#pragma once

#if defined(__clang__)
#define ZC_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZC_THREAD_ANNOTATION(x)
#endif

#define ZC_CAPABILITY(name) ZC_THREAD_ANNOTATION(capability(name))
#define ZC_SCOPED_CAPABILITY ZC_THREAD_ANNOTATION(scoped_lockable)
#define ZC_GUARDED_BY(mutex) ZC_THREAD_ANNOTATION(guarded_by(mutex))
#define ZC_PT_GUARDED_BY(mutex) ZC_THREAD_ANNOTATION(pt_guarded_by(mutex))
#define ZC_REQUIRES(...) ZC_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ZC_EXCLUDES(...) ZC_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ZC_ACQUIRE(...) ZC_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define ZC_RELEASE(...) ZC_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define ZC_TRY_ACQUIRE(...) ZC_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define ZC_ASSERT_CAPABILITY(mutex) ZC_THREAD_ANNOTATION(assert_capability(mutex))
#define ZC_RETURN_CAPABILITY(mutex) ZC_THREAD_ANNOTATION(lock_returned(mutex))
// For the few functions whose locking the analysis cannot follow; say why beside each use.
#define ZC_NO_THREAD_SAFETY_ANALYSIS ZC_THREAD_ANNOTATION(no_thread_safety_analysis)
