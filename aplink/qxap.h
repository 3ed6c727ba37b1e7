// qxap: drive the KQ RX2210 radio access point through its serial port.
//
// Every command function returns true when the access point acknowledged the
// command. Out-values are written only on success, except where noted.
// One access point per process; calls must not overlap.
#pragma once

#if defined(_WIN32) && defined(QXAP_BUILD)
#define QXAP_API __declspec(dllexport)
#elif defined(_WIN32)
#define QXAP_API __declspec(dllimport)
#else
#define QXAP_API __attribute__((visibility("default")))
#endif

// Port handling.
QXAP_API bool QX_OpenCOM(char* path, unsigned long baud, unsigned short unused, bool unused2,
                         bool unused3);  // speed and the rest are ignored: always 115200 8N1
QXAP_API void QX_CloseCOM();
QXAP_API bool QX_GetCOM(unsigned char& port);  // number of the access point's port

// Access point.
QXAP_API bool QX_Reset();
QXAP_API bool QX_GetStatus(unsigned short& status);  // port closed: false, status 7

// ROV heart-rate link.
QXAP_API bool QX_ROV_Start();
QXAP_API bool QX_ROV_Stop();
QXAP_API bool QX_ROV_SetID(unsigned long id);
QXAP_API bool QX_ROV_GetID(unsigned long& id);
QXAP_API bool QX_ROV_SetHeartrate(unsigned short rate);  // low byte only

// VAM link (the sync radio link to the watch).
QXAP_API bool QX_VAM_Start();
QXAP_API bool QX_VAM_Stop();
QXAP_API bool QX_VAM_GetData(unsigned long& data);

// KEPL bulk-data link.
QXAP_API bool QX_KEPL_Start();
QXAP_API bool QX_KEPL_Stop();
QXAP_API bool QX_KEPL_GetStatus(unsigned long& status);
QXAP_API bool QX_KEPL_GetPacketStatus(unsigned long& status);
// Sends length bytes in chunks of at most 28; sent gets the last chunk's size.
QXAP_API bool QX_KEPL_Send_Data(unsigned char* data, int length, unsigned long& sent);

// SYNC: 19-byte frames to and from the watch.
QXAP_API bool QX_SYNC_Start();
// Stores reply byte 3 (1: a watch reply is waiting) whenever the port is open,
// acknowledged or not.
QXAP_API bool QX_SYNC_GetBufferStatus(unsigned short& status);
QXAP_API bool QX_SYNC_ReadBuffer(unsigned char* reply19);
