/* Sizes of the embedded pictures, in a form both the C++ code and the
   assembly that embeds the files can read: the assembly refuses a file of
   another size, so a stale or mangled picture never builds in. */
#pragma once
#define ASSET_TITLE_W 1280
#define ASSET_TITLE_H 720
#define ASSET_LOGO_W 766
#define ASSET_LOGO_H 154
