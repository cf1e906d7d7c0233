#pragma once
// The DirectShow filter base classes, for filters built on both platforms.

#include "platform/DirectShow.h"
#include "platform/dshow/Allocator.h"
#include "platform/dshow/ClassFactory.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/Enumerators.h"
#include "platform/dshow/Filter.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Registration.h"
#include "platform/dshow/Text.h"
#include "platform/dshow/Transform.h"
#include "platform/dshow/Unknown.h"
