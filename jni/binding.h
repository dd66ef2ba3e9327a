// What every native entry point shares: the copy of a Java matrix into one
// native buffer, scoped local references, one throw helper per exception
// kind. Every helper that fails leaves a Java exception pending and says so
// by its result; the caller returns at once.
#pragma once

#include <jni.h>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "threshold/threshold.h"

namespace pellwick::jni {

// A local reference deleted when it goes out of scope.
template <class T>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  T get() const { return ref_; }

 private:
  JNIEnv* env_;
  T ref_;
};

void throw_null_pointer(JNIEnv* env, const std::string& message);
void throw_illegal_argument(JNIEnv* env, const std::string& message);
void throw_out_of_memory(JNIEnv* env, const std::string& message);
void throw_internal_error(JNIEnv* env, const std::string& message);

// The native copy of a matrix's top-left kLevelCount x kLevelCount corner,
// in one buffer released with the object.
struct NativeMatrix {
  std::unique_ptr<std::int32_t[]> counts;
  std::array<const std::int32_t*, kLevelCount> rows{};
  operator LevelPairMatrix() const { return rows.data(); }
};

// Copies `matrix` (at least kLevelCount rows of at least kLevelCount
// elements) into `out` with GetIntArrayRegion. Returns false with a Java
// exception pending if it is malformed or memory runs out.
bool copy_matrix(JNIEnv* env, jobjectArray matrix, NativeMatrix& out);

// Runs `body`, turning any C++ exception into a pending Java one (unless one
// is pending already), so that none crosses into the JVM; returns `body`'s
// result, or `failed` after an exception.
template <class Body, class Result>
Result guarded(JNIEnv* env, Result failed, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    if (!env->ExceptionCheck()) throw_out_of_memory(env, "no memory to scan the matrix");
  } catch (const std::exception& e) {
    if (!env->ExceptionCheck()) throw_internal_error(env, e.what());
  } catch (...) {
    if (!env->ExceptionCheck()) throw_internal_error(env, "unknown native error");
  }
  return failed;
}

}  // namespace pellwick::jni
