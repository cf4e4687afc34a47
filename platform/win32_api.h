// The one switch between the platform and the system code: the real Windows
// headers on Windows, the Linux stand-ins elsewhere. System code includes
// only this header for anything it asks of the platform.
#pragma once

#if defined(_WIN32)
#include <share.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>

using Gdiplus::ARGB;
using Gdiplus::ColorPalette;
using Gdiplus::EncoderParameters;
using Gdiplus::GdiplusStartupInput;
using Gdiplus::GpBitmap;
using Gdiplus::GpImage;
using Gdiplus::GpStatus;
using Gdiplus::ImageCodecInfo;
using Gdiplus::Ok;
using Gdiplus::GdiplusShutdown;
using Gdiplus::GdiplusStartup;
using Gdiplus::DllExports::GdipCreateBitmapFromScan0;
using Gdiplus::DllExports::GdipDisposeImage;
using Gdiplus::DllExports::GdipGetImageEncoders;
using Gdiplus::DllExports::GdipGetImageEncodersSize;
using Gdiplus::DllExports::GdipSaveImageToStream;
using Gdiplus::DllExports::GdipSetImagePalette;
#else
#include "platform/linux/stand_ins.h"
#endif
