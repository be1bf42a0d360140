// The installation package: its format, the reader and the builder.
#pragma once

#include "package/builder.h"
#include "package/format.h"
#include "package/reader.h"
