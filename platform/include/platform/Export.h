#pragma once

// Symbols of vorq_platform that other libraries and programs link against.
#define VORQ_PLATFORM_API __attribute__((visibility("default")))
