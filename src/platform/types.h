// The Windows scalar types the system is written in, with the same widths on
// both back ends. DWORD must be 32 bits in the sandbox too: the file formats
// depend on it.
#pragma once
#include <cstdint>
#include <cstddef>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int UINT;
#ifdef _WIN32
typedef unsigned long DWORD;  // as <windows.h> has it, so both may be included
typedef long LONG;
#else
typedef uint32_t DWORD;
typedef int32_t LONG;
#endif
typedef const char* LPCSTR;
typedef char* LPSTR;
#if defined(_WIN64)
typedef unsigned long long WPARAM;
typedef long long LPARAM;
#elif defined(_WIN32)
typedef unsigned int WPARAM;
typedef long LPARAM;
#else
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
#endif

struct HWND__;
typedef HWND__* HWND;  // matches STRICT <windows.h>

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

#ifndef WM_USER
#define WM_USER 0x0400
#endif

// Classes the shell exports for other tools to link against.
#if defined(_WIN32) && defined(TARN_IMPORT)
#define TARN_EXPORT __declspec(dllimport)  // a program linking against the shell
#elif defined(_WIN32)
#define TARN_EXPORT __declspec(dllexport)
#else
#define TARN_EXPORT
#endif
