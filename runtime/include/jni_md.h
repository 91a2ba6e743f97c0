/* Machine-dependent part of the JNI declarations for Windows, 32- and
   64-bit (the x86-64 compiler ignores __stdcall; jint stays 32 bits, as
   long is on every Windows). The JDK installed on the build machine ships
   only its own platform's version of this file. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#if !defined(_WIN32)
#error "this jni_md.h describes Windows only"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
