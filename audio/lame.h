#pragma once
// Run-time binding of the LAME encoder library (libmp3lame.so.0): loaded with dlopen, never linked,
// its entry points resolved by name into the function references of `Lame`.
#include <lame/lame.h>  // types only

#include <cstdint>
#include <string>

// The library file loaded by default; the failure message names it.
inline constexpr const char* LameLibraryDefaultFile = "libmp3lame.so.0";

// Every entry point in the order of resolution: X(name, result type, parameter list).
#define TOLVANE_LAME_ENTRY_POINTS(X)                                                                  \
  X(lame_init, lame_global_flags*, (void))                                                            \
  X(lame_set_num_samples, int, (lame_global_flags*, unsigned long))                                   \
  X(lame_get_num_samples, unsigned long, (const lame_global_flags*))                                  \
  X(lame_set_in_samplerate, int, (lame_global_flags*, int))                                           \
  X(lame_get_in_samplerate, int, (const lame_global_flags*))                                          \
  X(lame_set_num_channels, int, (lame_global_flags*, int))                                            \
  X(lame_get_num_channels, int, (const lame_global_flags*))                                           \
  X(lame_set_scale, int, (lame_global_flags*, float))                                                 \
  X(lame_get_scale, float, (const lame_global_flags*))                                                \
  X(lame_set_scale_left, int, (lame_global_flags*, float))                                            \
  X(lame_get_scale_left, float, (const lame_global_flags*))                                           \
  X(lame_set_scale_right, int, (lame_global_flags*, float))                                           \
  X(lame_get_scale_right, float, (const lame_global_flags*))                                          \
  X(lame_set_out_samplerate, int, (lame_global_flags*, int))                                          \
  X(lame_get_out_samplerate, int, (const lame_global_flags*))                                         \
  X(lame_set_analysis, int, (lame_global_flags*, int))                                                \
  X(lame_get_analysis, int, (const lame_global_flags*))                                               \
  X(lame_set_bWriteVbrTag, int, (lame_global_flags*, int))                                            \
  X(lame_get_bWriteVbrTag, int, (const lame_global_flags*))                                           \
  X(lame_set_decode_only, int, (lame_global_flags*, int))                                             \
  X(lame_get_decode_only, int, (const lame_global_flags*))                                            \
  X(lame_set_ogg, int, (lame_global_flags*, int))                                                     \
  X(lame_get_ogg, int, (const lame_global_flags*))                                                    \
  X(lame_set_quality, int, (lame_global_flags*, int))                                                 \
  X(lame_get_quality, int, (const lame_global_flags*))                                                \
  X(lame_set_mode, int, (lame_global_flags*, MPEG_mode))                                              \
  X(lame_get_mode, MPEG_mode, (const lame_global_flags*))                                             \
  X(lame_set_mode_automs, int, (lame_global_flags*, int))                                             \
  X(lame_get_mode_automs, int, (const lame_global_flags*))                                            \
  X(lame_set_force_ms, int, (lame_global_flags*, int))                                                \
  X(lame_get_force_ms, int, (const lame_global_flags*))                                               \
  X(lame_set_free_format, int, (lame_global_flags*, int))                                             \
  X(lame_get_free_format, int, (const lame_global_flags*))                                            \
  X(lame_set_brate, int, (lame_global_flags*, int))                                                   \
  X(lame_get_brate, int, (const lame_global_flags*))                                                  \
  X(lame_set_compression_ratio, int, (lame_global_flags*, float))                                     \
  X(lame_get_compression_ratio, float, (const lame_global_flags*))                                    \
  X(lame_set_preset, int, (lame_global_flags*, int))                                                  \
  X(lame_set_asm_optimizations, int, (lame_global_flags*, int, int))                                  \
  X(lame_set_copyright, int, (lame_global_flags*, int))                                               \
  X(lame_get_copyright, int, (const lame_global_flags*))                                              \
  X(lame_set_original, int, (lame_global_flags*, int))                                                \
  X(lame_get_original, int, (const lame_global_flags*))                                               \
  X(lame_set_error_protection, int, (lame_global_flags*, int))                                        \
  X(lame_get_error_protection, int, (const lame_global_flags*))                                       \
  X(lame_set_padding_type, int, (lame_global_flags*, Padding_type))                                   \
  X(lame_get_padding_type, Padding_type, (const lame_global_flags*))                                  \
  X(lame_set_extension, int, (lame_global_flags*, int))                                               \
  X(lame_get_extension, int, (const lame_global_flags*))                                              \
  X(lame_set_strict_ISO, int, (lame_global_flags*, int))                                              \
  X(lame_get_strict_ISO, int, (const lame_global_flags*))                                             \
  X(lame_set_VBR, int, (lame_global_flags*, vbr_mode))                                                \
  X(lame_get_VBR, vbr_mode, (const lame_global_flags*))                                               \
  X(lame_set_VBR_q, int, (lame_global_flags*, int))                                                   \
  X(lame_get_VBR_q, int, (const lame_global_flags*))                                                  \
  X(lame_set_VBR_mean_bitrate_kbps, int, (lame_global_flags*, int))                                   \
  X(lame_get_VBR_mean_bitrate_kbps, int, (const lame_global_flags*))                                  \
  X(lame_set_VBR_min_bitrate_kbps, int, (lame_global_flags*, int))                                    \
  X(lame_get_VBR_min_bitrate_kbps, int, (const lame_global_flags*))                                   \
  X(lame_set_VBR_max_bitrate_kbps, int, (lame_global_flags*, int))                                    \
  X(lame_get_VBR_max_bitrate_kbps, int, (const lame_global_flags*))                                   \
  X(lame_set_VBR_hard_min, int, (lame_global_flags*, int))                                            \
  X(lame_get_VBR_hard_min, int, (const lame_global_flags*))                                           \
  X(lame_set_lowpassfreq, int, (lame_global_flags*, int))                                             \
  X(lame_get_lowpassfreq, int, (const lame_global_flags*))                                            \
  X(lame_set_lowpasswidth, int, (lame_global_flags*, int))                                            \
  X(lame_get_lowpasswidth, int, (const lame_global_flags*))                                           \
  X(lame_set_highpassfreq, int, (lame_global_flags*, int))                                            \
  X(lame_get_highpassfreq, int, (const lame_global_flags*))                                           \
  X(lame_set_highpasswidth, int, (lame_global_flags*, int))                                           \
  X(lame_get_highpasswidth, int, (const lame_global_flags*))                                          \
  X(lame_get_version, int, (const lame_global_flags*))                                                \
  X(lame_get_encoder_delay, int, (const lame_global_flags*))                                          \
  X(lame_get_encoder_padding, int, (const lame_global_flags*))                                        \
  X(lame_get_framesize, int, (const lame_global_flags*))                                              \
  X(lame_get_mf_samples_to_encode, int, (const lame_global_flags*))                                   \
  X(lame_get_size_mp3buffer, int, (const lame_global_flags*))                                         \
  X(lame_get_frameNum, int, (const lame_global_flags*))                                               \
  X(lame_get_totalframes, int, (const lame_global_flags*))                                            \
  X(lame_init_params, int, (lame_global_flags*))                                                      \
  X(get_lame_version, const char*, (void))                                                            \
  X(get_lame_short_version, const char*, (void))                                                      \
  X(get_lame_very_short_version, const char*, (void))                                                 \
  X(get_psy_version, const char*, (void))                                                             \
  X(get_lame_url, const char*, (void))                                                                \
  X(get_lame_version_numerical, void, (lame_version_t*))                                              \
  X(lame_encode_buffer, int,                                                                          \
    (lame_global_flags*, const short int[], const short int[], const int, unsigned char*, const int)) \
  X(lame_encode_buffer_interleaved, int, (lame_global_flags*, short int[], int, unsigned char*, int)) \
  X(lame_encode_buffer_float, int,                                                                    \
    (lame_global_flags*, const float[], const float[], const int, unsigned char*, const int))         \
  X(lame_encode_flush, int, (lame_global_flags*, unsigned char*, int))                                \
  X(lame_encode_flush_nogap, int, (lame_global_flags*, unsigned char*, int))                          \
  X(lame_init_bitstream, int, (lame_global_flags*))                                                   \
  X(lame_close, int, (lame_global_flags*))                                                            \
  X(lame_decode_init, int, (void))                                                                    \
  X(lame_decode, int, (unsigned char*, int, short[], short[]))                                        \
  X(lame_decode_headers, int, (unsigned char*, int, short[], short[], mp3data_struct*))               \
  X(lame_decode1, int, (unsigned char*, int, short[], short[]))                                       \
  X(lame_decode1_headers, int, (unsigned char*, int, short[], short[], mp3data_struct*))              \
  X(id3tag_genre_list, void, (void (*)(int, const char*, void*), void*))                              \
  X(id3tag_init, void, (lame_global_flags*))                                                          \
  X(id3tag_add_v2, void, (lame_global_flags*))                                                        \
  X(id3tag_v1_only, void, (lame_global_flags*))                                                       \
  X(id3tag_v2_only, void, (lame_global_flags*))                                                       \
  X(id3tag_space_v1, void, (lame_global_flags*))                                                      \
  X(id3tag_pad_v2, void, (lame_global_flags*))                                                        \
  X(id3tag_set_title, void, (lame_global_flags*, const char*))                                        \
  X(id3tag_set_artist, void, (lame_global_flags*, const char*))                                       \
  X(id3tag_set_album, void, (lame_global_flags*, const char*))                                        \
  X(id3tag_set_year, void, (lame_global_flags*, const char*))                                         \
  X(id3tag_set_comment, void, (lame_global_flags*, const char*))                                      \
  X(id3tag_set_track, int, (lame_global_flags*, const char*))                                         \
  X(id3tag_set_genre, int, (lame_global_flags*, const char*))                                         \
  X(beWriteVbrHeader, unsigned long, (const char*))                                                   \
  X(beWriteInfoTag, unsigned long, (lame_global_flags*, const char*))

// One function reference per entry point, empty until LoadLame fills it (and when the library does not
// export the name). Filled on the main thread while no sink runs; read by the sinks' workers.
struct TLameEntryPoints {
#define TOLVANE_LAME_MEMBER(name, result, params) result(*name) params = nullptr;
  TOLVANE_LAME_ENTRY_POINTS(TOLVANE_LAME_MEMBER)
#undef TOLVANE_LAME_MEMBER
};
extern TLameEntryPoints Lame;

// Entry points resolved beyond the list: the LAME/Xing frame for beWriteInfoTag, and the ID3v1 tag
// the encoder would write at its flush (for a file whose last frames come from another instance).
using TLameGetLametagFrame = size_t (*)(const lame_global_flags*, unsigned char*, size_t);
extern TLameGetLametagFrame LameGetLametagFrame;
using TLameGetId3v1Tag = size_t (*)(lame_global_flags*, unsigned char*, size_t);
extern TLameGetId3v1Tag LameGetId3v1Tag;

// The file LoadLame loads by default: LameLibraryDefaultFile unless a test chose another.
std::string LameLibraryFile();
void SetLameLibraryFile(const std::string& fileName);
// Loads the library and resolves the entry points. Counted: every successful LoadLame needs one
// UnloadLame, and only the last one releases the library. A call while loaded only counts.
void LoadLame(const std::string& fileName = LameLibraryFile());
void UnloadLame();
bool LameLoaded();

// The VBR mode the sink asks for with a VBR header: LAME's vbr_rh (2).
inline constexpr vbr_mode SinkVbrMode = vbr_rh;

// The library's beWriteInfoTag does not exist here: writes the encoder's LAME/Xing frame over the first
// MPEG frame of the closed file at path (right after a leading ID3v2 tag, by that tag's own size), then
// releases the encoder. Returns 0 on success (also when the encoder has no tag: its frames are too
// small to hold one), otherwise a non-zero error number (ENODATA: no MPEG frame where the first one
// belongs); the encoder is released in every case.
unsigned long beWriteInfoTag(lame_global_flags* encoder, const char* path);
// The same with the first frame's offset given by the writer of the file, who knows it.
unsigned long WriteInfoTagAt(lame_global_flags* encoder, const char* path, int64_t firstFrameOffset);
// The same through fd, the file open for reading and writing (a file that must not be reopened by
// name); the descriptor stays open and its write position where it was.
unsigned long WriteInfoTagAt(lame_global_flags* encoder, int fd, int64_t firstFrameOffset);
// Writes a finished tag frame over the MPEG frame at firstFrameOffset (a leading ID3v2 tag's size when
// negative) of the closed file at path; the same results as beWriteInfoTag, without an encoder.
unsigned long WriteTagFrameAt(const char* path, int64_t firstFrameOffset, const unsigned char* frame,
                              size_t size);
// The same through fd, open for reading and writing, which stays open.
unsigned long WriteTagFrameAt(int fd, int64_t firstFrameOffset, const unsigned char* frame, size_t size);
