/* The decoder library libmpegdll.so: plays one MPEG audio stream at a time on a thread of
   its own. All arguments and results are 32-bit integers or pointers; strings are
   zero-terminated. Positions and lengths are in milliseconds. */
#ifndef TAVRIN_MPEGDLL_API_H
#define TAVRIN_MPEGDLL_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes of LastError(): 0 none. */
#define MPEGDLL_OK 0
#define MPEGDLL_INTERNAL 1     /* internal decoder error */
#define MPEGDLL_BAD_MODE 2     /* incorrect mode (for example Play before Open) */
#define MPEGDLL_INPUT 3        /* input stream error */
#define MPEGDLL_NOT_SEEKABLE 4 /* input stream is non-seekable */
#define MPEGDLL_OUTPUT 5       /* output device failure */

/* Devices of SetOutputDevice. */
#define MPEGDLL_DEVICE_DEFAULT 0 /* the default sound output */
#define MPEGDLL_DEVICE_PCMFILE 2 /* raw 16-bit PCM (native byte order, interleaved) to a file */

/* Open modes. */
#define MPEGDLL_MODE_FILE 0
#define MPEGDLL_MODE_STREAM 1

/* Stream-mode callbacks: the library passes the context value given to Open first. */
typedef void (*MPEGDLL_OPEN_CB)(void* self, int* nonseekable, void** context);
typedef void (*MPEGDLL_CLOSE_CB)(void* self, void* context);
typedef void (*MPEGDLL_RESTART_CB)(void* self, void* context, int* res);
typedef void (*MPEGDLL_READ_CB)(void* self, void* context, void* buffer, int bytesToRead,
                                int* bytesRead, int* res);
typedef void (*MPEGDLL_SEEK_CB)(void* self, void* context, int offset, int moveMethod, int* res);
typedef void (*MPEGDLL_SIZE_CB)(void* self, void* context, int* res);

int init(void);   /* non-zero: ready */
int deinit(void); /* stops and closes everything */
int Open(const char* name, int mode, MPEGDLL_OPEN_CB open, MPEGDLL_CLOSE_CB close,
         MPEGDLL_RESTART_CB restart, MPEGDLL_READ_CB read, MPEGDLL_SEEK_CB seek,
         MPEGDLL_SIZE_CB size, void* self);
int Pause(int resume); /* 0 pause, 1 continue */
int Restart(void);     /* play again from the start */
int Stop(void);
int SetPriority(int priority); /* thread priority level, -15 .. 15 */
int SetOutputDevice(int device, const char* fileName);
int Play(int startPos, int endPos, unsigned char* ended); /* 0: started; sets *ended at the end */
int Close(void);
int GetFrequency(void);
int GetBitrate(void);
int GetLayer(void);
int GetPlayerMode(void); /* 0 closed, 1 opened, 2 playing, 3 paused, 4 ended */
int GetCurrentPos(void);
int GetLength(void);
int ResetPlayerMode(void);
int Seek(int position);
int LastError(void);

#ifdef __cplusplus
}
#endif

#endif
