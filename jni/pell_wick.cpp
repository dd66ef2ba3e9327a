// The library's only export: Threshold.pell_wick. It copies the Java matrix
// into native rows, runs the scan, and turns every failure into a pending
// Java exception; no C++ exception leaves this file.
#include <jni.h>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "Threshold.h"  // generated from Threshold.java: the signature is checked
#include "threshold/threshold.h"

namespace {

using pellwick::kLevelCount;

// One helper per exception kind. If the class cannot be found, FindClass has
// left its own error pending, which is as good a report.
void throw_new(JNIEnv* env, const char* class_name, const std::string& message) {
  jclass type = env->FindClass(class_name);
  if (type == nullptr) return;
  env->ThrowNew(type, message.c_str());
  env->DeleteLocalRef(type);
}

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

// The native copy of the matrix's top-left corner: one buffer per row,
// released when the call returns, whichever way it does.
struct NativeMatrix {
  std::array<std::unique_ptr<std::int32_t[]>, kLevelCount> buffers;
  std::array<const std::int32_t*, kLevelCount> rows{};
};

// Copies the matrix into `out`. Returns false with a Java exception pending
// if the matrix is malformed or memory runs out; no row is then scanned.
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
  for (int r = 0; r < kLevelCount; ++r) {
    const auto row = static_cast<jintArray>(env->GetObjectArrayElement(matrix, r));
    if (env->ExceptionCheck()) return false;
    if (row == nullptr) {
      throw_null_pointer(env, "matrix row " + std::to_string(r) + " is null");
      return false;
    }
    const jsize length = env->GetArrayLength(row);
    if (length < kLevelCount) {
      env->DeleteLocalRef(row);
      throw_illegal_argument(env, "matrix row " + std::to_string(r) + " has " +
                                      std::to_string(length) + " elements; " +
                                      std::to_string(kLevelCount) + " are required");
      return false;
    }
    out.buffers[r].reset(new (std::nothrow) std::int32_t[kLevelCount]);
    if (!out.buffers[r]) {
      env->DeleteLocalRef(row);
      throw_out_of_memory(env, "no memory for row " + std::to_string(r) + " of the matrix");
      return false;
    }
    static_assert(sizeof(jint) == sizeof(std::int32_t), "jint is 32 bits");
    env->GetIntArrayRegion(row, 0, kLevelCount,
                           reinterpret_cast<jint*>(out.buffers[r].get()));
    env->DeleteLocalRef(row);
    if (env->ExceptionCheck()) return false;
    out.rows[r] = out.buffers[r].get();
  }
  return true;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_Threshold_pell_1wick(JNIEnv* env, jclass,
                                                            jobjectArray matrix, jint start,
                                                            jint end) {
  try {
    NativeMatrix native;
    if (!copy_matrix(env, matrix, native)) return 0;
    return pellwick::select_threshold(native.rows.data(), start, end);
  } catch (const std::bad_alloc&) {
    if (!env->ExceptionCheck()) throw_out_of_memory(env, "no memory to scan the matrix");
  } catch (const std::exception& e) {
    if (!env->ExceptionCheck()) throw_internal_error(env, e.what());
  } catch (...) {
    if (!env->ExceptionCheck()) throw_internal_error(env, "unknown native error");
  }
  return 0;
}
