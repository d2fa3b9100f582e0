// The PNG image library: everything a program needs in one include.
#pragma once

#include "png/pngchunk.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pnglist.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "png/pngtext.h"
#include "png/pngzlib.h"
