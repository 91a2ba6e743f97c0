/* Machine-dependent part of the JNI declarations for 32-bit Windows, the
   platform the launcher runs on. The JDK installed on the build machine
   ships only its own platform's version of this file. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#if !defined(_WIN32) || defined(_WIN64)
#error "this jni_md.h describes 32-bit Windows only"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
