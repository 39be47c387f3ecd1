// Types that cross the core library's boundary by identity: exceptions thrown
// in the core and caught by its users must have one type_info, which takes
// default visibility even in users built with hidden visibility.
#pragma once

#define VEXIL_EXPORTED __attribute__((visibility("default")))
