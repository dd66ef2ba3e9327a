#include "jni/binding.h"

#include <new>

namespace pellwick::jni {
namespace {

// If the class cannot be found, FindClass has left its own error pending;
// if ThrowNew fails, the JVM has left the error that made it fail. Either is
// as good a report.
void throw_new(JNIEnv* env, const char* class_name, const std::string& message) {
  const LocalRef<jclass> type(env, env->FindClass(class_name));
  if (type.get() == nullptr) return;
  if (env->ThrowNew(type.get(), message.c_str()) != 0 && !env->ExceptionCheck()) {
    // Nothing could be thrown: leave the plainest error there is.
    env->ThrowNew(type.get(), nullptr);
  }
}

std::string row_message(int r, const std::string& what) {
  return "matrix row " + std::to_string(r) + " " + what;
}

}  // namespace

void throw_null_pointer(JNIEnv* env, const std::string& message) {
  throw_new(env, "java/lang/NullPointerException", message);
}

void throw_illegal_argument(JNIEnv* env, const std::string& message) {
  throw_new(env, "java/lang/IllegalArgumentException", message);
}

void throw_out_of_memory(JNIEnv* env, const std::string& message) {
  throw_new(env, "java/lang/OutOfMemoryError", message);
}

void throw_internal_error(JNIEnv* env, const std::string& message) {
  throw_new(env, "java/lang/InternalError", message);
}

bool copy_matrix(JNIEnv* env, jobjectArray matrix, NativeMatrix& out) {
  if (matrix == nullptr) {
    throw_null_pointer(env, "matrix is null");
    return false;
  }
  const jsize row_count = env->GetArrayLength(matrix);
  if (row_count < kLevelCount) {
    throw_illegal_argument(env, "matrix has " + std::to_string(row_count) + " rows; " +
                                    std::to_string(kLevelCount) + " are required");
    return false;
  }
  out.counts.reset(new (std::nothrow) std::int32_t[kLevelCount * kLevelCount]);
  if (!out.counts) {
    throw_out_of_memory(env, "no memory for the native copy of the matrix");
    return false;
  }
  static_assert(sizeof(jint) == sizeof(std::int32_t), "jint is 32 bits");
  for (int r = 0; r < kLevelCount; ++r) {
    const LocalRef<jintArray> row(
        env, static_cast<jintArray>(env->GetObjectArrayElement(matrix, r)));
    if (env->ExceptionCheck()) return false;
    if (row.get() == nullptr) {
      throw_null_pointer(env, row_message(r, "is null"));
      return false;
    }
    const jsize length = env->GetArrayLength(row.get());
    if (length < kLevelCount) {
      throw_illegal_argument(env, row_message(r, "has " + std::to_string(length) +
                                                     " elements; " +
                                                     std::to_string(kLevelCount) +
                                                     " are required"));
      return false;
    }
    std::int32_t* const values = &out.counts[static_cast<std::size_t>(r) * kLevelCount];
    env->GetIntArrayRegion(row.get(), 0, kLevelCount, reinterpret_cast<jint*>(values));
    if (env->ExceptionCheck()) return false;
    out.rows[r] = values;
  }
  return true;
}

}  // namespace pellwick::jni
