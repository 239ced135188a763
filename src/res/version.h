#pragma once
// The one place the version is set: the version block and the release
// archives are made from it.

#define VARDIX_VERSION_MAJOR 1
#define VARDIX_VERSION_MINOR 0
#define VARDIX_VERSION_PATCH 0
#define VARDIX_VERSION_BUILD 1
#define VARDIX_VERSION_COMMA "1, 0, 0, 1"
