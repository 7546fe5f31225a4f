#pragma once

// Quillon's encoder module interface: a BladeEnc-style C interface over libmp3lame. The module
// (lame_enc.so) exports the six entry points below; the encode stage loads it at run time and
// resolves them by name. Every entry point returns a BE_ERR; 0 is success.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
typedef uint32_t HBE_STREAM;  // 0 is never a valid stream
typedef HBE_STREAM* PHBE_STREAM;
typedef uint32_t BE_DWORD;
typedef int32_t BE_BOOL;

// Results.
#define BE_ERR_SUCCESSFUL 0u
#define BE_ERR_INVALID_FORMAT 1u             // wrong dwConfig, dwStructVersion or dwStructSize
#define BE_ERR_INVALID_FORMAT_PARAMETERS 2u  // rate, mode, bit rate or chunk size not usable
#define BE_ERR_NO_MORE_HANDLES 3u
#define BE_ERR_INVALID_HANDLE 4u  // unknown, closed or already tagged stream, or wrong order
#define BE_ERR_BUFFER_TOO_SMALL 5u
#define BE_ERR_INVALID_ARGUMENT 6u  // a required pointer is null
#define BE_ERR_ENCODER 7u           // libmp3lame refused the settings or failed
#define BE_ERR_FILE 8u              // the tag could not be written into the named file
#define BE_ERR_NO_TAG 9u            // the stream has no tag to write (never flushed)

// dwConfig.
#define BE_CONFIG_MP3 0u
#define BE_CONFIG_LAME 256u

// nMode.
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

// dwMpegVersion.
#define MPEG1 1u
#define MPEG2 0u

// nPreset.
#define LQP_NOPRESET (-1)

// nVbrMethod.
#define VBR_METHOD_NONE (-1)
#define VBR_METHOD_DEFAULT 0
#define VBR_METHOD_OLD 1
#define VBR_METHOD_NEW 2
#define VBR_METHOD_MTRH 3
#define VBR_METHOD_ABR 4

#define CURRENT_STRUCT_VERSION 1u
#define CURRENT_STRUCT_SIZE 331u

#pragma pack(push, 1)
// The LAME form of the configuration record. All integers are 32 bits wide (Windows DWORD,
// LONG and BOOL), nQuality 16 bits; the reserved bytes fill the record up to 331 bytes and must
// be zero.
typedef struct {
    BE_DWORD dwConfig;  // BE_CONFIG_LAME
    union {
        struct {
            BE_DWORD dwStructVersion;  // CURRENT_STRUCT_VERSION
            BE_DWORD dwStructSize;     // CURRENT_STRUCT_SIZE
            BE_DWORD dwSampleRate;     // input rate in Hz
            BE_DWORD dwReSampleRate;   // output rate in Hz; 0 keeps the input rate
            int32_t nMode;             // BE_MP3_MODE_*
            BE_DWORD dwBitrate;        // kbit/s (CBR), or the minimum for VBR
            BE_DWORD dwMaxBitrate;     // VBR maximum in kbit/s; 0 = encoder default
            int32_t nPreset;           // LQP_NOPRESET; presets are not supported and ignored
            BE_DWORD dwMpegVersion;    // informational: the rate decides the MPEG version
            BE_DWORD dwPsyModel;       // ignored
            BE_DWORD dwEmphasis;       // 0 none, 1 50/15 ms, 3 CCITT J.17
            BE_BOOL bPrivate;
            BE_BOOL bCRC;
            BE_BOOL bCopyright;
            BE_BOOL bOriginal;
            BE_BOOL bWriteVBRHeader;  // reserve the first frame for the Xing/Info tag
            BE_BOOL bEnableVBR;
            int32_t nVBRQuality;    // 0 best … 9
            BE_DWORD dwVbrAbr_bps;  // ABR mean in bit/s
            int32_t nVbrMethod;     // VBR_METHOD_*
            BE_BOOL bNoRes;         // bit reservoir off
            BE_BOOL bStrictIso;
            uint16_t nQuality;  // low byte q (0 best … 9 fastest), high byte 255 - q
            uint8_t btReserved[237];
        } LHV1;
        uint8_t raw[327];
    } format;
} BE_CONFIG, *PBE_CONFIG;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BE_CONFIG) == CURRENT_STRUCT_SIZE, "BE_CONFIG must be 331 bytes");
#else
_Static_assert(sizeof(BE_CONFIG) == CURRENT_STRUCT_SIZE, "BE_CONFIG must be 331 bytes");
#endif

// Opens a stream. On success *dwSamples is the number of sample values (all channels) one full
// chunk holds, *dwBufferSize the output buffer size every encode and flush call needs, and
// *phbeStream the stream.
typedef BE_ERR (*BEINITSTREAM)(PBE_CONFIG pbeConfig, BE_DWORD* dwSamples, BE_DWORD* dwBufferSize,
                               PHBE_STREAM phbeStream);
// Encodes nSamples frames (per channel, at most dwSamples / channels) from separate channel
// arrays scaled to ±32768; pcmRight is ignored (may be null) for mono. pOutput holds
// dwBufferSize bytes; *pdwOutput receives the bytes produced.
typedef BE_ERR (*BEENCODECHUNKFLOATS16NI)(HBE_STREAM hbeStream, BE_DWORD nSamples,
                                          const float* pcmLeft, const float* pcmRight,
                                          uint8_t* pOutput, BE_DWORD* pdwOutput);
// Flushes the encoder; afterwards the stream takes no more samples.
typedef BE_ERR (*BEDEINITSTREAM)(HBE_STREAM hbeStream, uint8_t* pOutput, BE_DWORD* pdwOutput);
// Frees the encoder. A stream closed after its flush keeps only its tag frame, until
// beWriteInfoTag or beWriteVBRHeader takes it; of such waiting tags the newest 16 are kept and
// older ones dropped. A stream closed before its flush is gone at once. Closing twice gives
// BE_ERR_INVALID_HANDLE.
typedef BE_ERR (*BECLOSESTREAM)(HBE_STREAM hbeStream);
// Writes the stream's Info tag over the first frame of the finished file and ends the stream
// for good (closing it first when the caller has not); every later call with the handle gives
// BE_ERR_INVALID_HANDLE. The file is touched only when it begins with the frame the encoder
// reserved (BE_ERR_FILE otherwise). At bit rates whose frames cannot hold a tag (e.g. 8 kbit/s,
// 32 kbit/s at 44100 Hz) there is none: BE_ERR_INVALID_HANDLE after close, BE_ERR_NO_TAG before.
typedef BE_ERR (*BEWRITEINFOTAG)(HBE_STREAM hbeStream, const char* lpszFileName);
// Same, for the stream most recently closed on the calling thread and not yet tagged.
typedef BE_ERR (*BEWRITEVBRHEADER)(const char* lpszFileName);

#ifdef __cplusplus
}
#endif
