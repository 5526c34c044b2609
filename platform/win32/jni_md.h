/* The machine-dependent part of jni.h for Windows. The JDK on the build
 * machine brings only its own platform's jni_md.h; a cross build puts this
 * folder on the include path in its place, beside the JDK's jni.h. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
/* The JVM calls natives with __stdcall, which x64 ignores but 32-bit x86 does not. */
#define JNICALL __stdcall

/* long is 32 bits on Windows, 64-bit or not: jint must be exactly 32. */
typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
