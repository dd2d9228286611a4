#pragma once

struct heif_decoder_plugin;

// libheif's HEVC decoder for our pictures, over libde265 directly. libheif's own plugin for it
// decodes on one thread, turns the decoder's warnings about a damaged stream into nothing, and
// hands out planes libde265 never wrote (a slice lost to damage) as they were in memory, so a
// damaged file gave a different picture on every decode. This one:
// - decodes on up to kHevcThreads worker threads (wavefront rows and tiles, as the stream allows);
// - fails the decode on any error or warning of libde265 but the ones about threading itself;
// - hands libde265 zeroed planes, so no byte of the picture is memory left from elsewhere.
// Registered with libheif once (HeifPicture), above its own plugin's priority.
const heif_decoder_plugin& HevcDecoderPlugin();

// How many threads libde265 may decode one picture on.
inline constexpr int kHevcThreads = 2;
