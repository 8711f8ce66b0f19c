#pragma once
// The Windows Media Format runtime stand-in, all of it.

#include "wmvcore/buffer.h"
#include "wmvcore/editor.h"
#include "wmvcore/header_info.h"
#include "wmvcore/media_props.h"
#include "wmvcore/profile.h"
#include "wmvcore/reader.h"
#include "wmvcore/types.h"
#include "wmvcore/writer.h"
