// The system's vocabulary in one include: the platform services the code is written against.
#pragma once

#include <platform/types.h>
#include <platform/clock.h>
#include <platform/codepage.h>
#include <platform/debug.h>
#include <platform/files.h>
#include <platform/module.h>
#include <platform/ole.h>
#include <platform/print.h>
#include <platform/registry.h>
#include <platform/storage.h>
#include <platform/sync.h>
#include <platform/window.h>
