// Host tests only: zlib as the independent maker of raw DEFLATE streams.
#pragma once

#include <string>

// `data` as one raw DEFLATE stream (no zlib header), made by zlib at `level`.
std::string ZlibRawDeflate(const std::string& data, int level = 6);
