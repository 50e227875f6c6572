// The GUI toolkit: geometry, drawing, bitmaps, views and the frame.
#pragma once

#include "fxgui/cbitmap.h"
#include "fxgui/cdrawcontext.h"
#include "fxgui/cframe.h"
#include "fxgui/ctypes.h"
#include "fxgui/cview.h"
