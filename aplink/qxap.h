// SPDX-License-Identifier: MIT
// qxap: drive the KQ RX2210 radio access point through its serial port.
//
// Lifecycle. Find the access point's port number with QX_GetCOM, format its
// device path with QXAP_PORT_PATH_FORMAT and open it with QX_OpenCOM; every
// command function then runs one request/reply exchange with the access point
// (QX_KEPL_Send_Data one per 28-byte chunk); QX_CloseCOM ends the session.
// One access point per process: the library holds one port and one pair of
// frame buffers.
//
// Threading. None of the functions is reentrant: calls must not overlap, from
// one thread or several. The library starts no thread and keeps no timer.
//
// Errors. A command function returns true when the access point acknowledged
// the command, false otherwise: port closed, nothing or too little answered
// in time, or a reply that refused the command. Nothing is printed, nothing
// is retried, errno means nothing. On false an out-value keeps what the
// caller put there, unless its function says otherwise.
//
// Closed port. "Refused" functions return false at once, without I/O, when
// no port is open. The start and stop functions and QX_Reset are not guarded:
// they try to send anyway, and with no port open that fails at once, false.
//
// Waits. Writing n bytes and reading n bytes each wait at most 20 ms per byte
// plus 40 ms; a request is 3 bytes plus its payload, a reply 3 bytes plus its
// value. The bound of each call is given beside it; a call that gets its
// reply returns as soon as the reply is in.
//
// Linkage. The functions have C++ linkage (references and bool in their
// signatures), so the library serves C++ programs; its symbols carry the
// version node QXAP_1.
#ifndef QXAP_H
#define QXAP_H

#define QXAP_VERSION_MAJOR 1
#define QXAP_VERSION_MINOR 0
#define QXAP_VERSION_PATCH 0
// One number that grows with every release: 10000 * major + 100 * minor + patch.
#define QXAP_VERSION (QXAP_VERSION_MAJOR * 10000 + QXAP_VERSION_MINOR * 100 + QXAP_VERSION_PATCH)

// Device path of port number n, for snprintf: "/dev/ttyACM7" for 7 (on
// Windows "\\.\COM7").
#ifdef _WIN32
#define QXAP_PORT_PATH_FORMAT "\\\\.\\COM%d"
#else
#define QXAP_PORT_PATH_FORMAT "/dev/ttyACM%d"
#endif

// The library's own build defines QXAP_BUILD; a program that uses it does not.
#if defined(_WIN32) && defined(QXAP_BUILD)
#define QXAP_API  // qxap.def names what qxap.dll exports
#elif defined(_WIN32)
#define QXAP_API __declspec(dllimport)
#else
#define QXAP_API __attribute__((visibility("default")))
#endif

// --- Port ------------------------------------------------------------------

// Opens the device at path as the access point's port, 115200 baud 8N1,
// closing the port held before. The speed and the three further arguments are
// accepted and ignored (the access point's line speed is fixed); pass 115200,
// 30, false, false. True when the port opened.
QXAP_API bool QX_OpenCOM(char* path, unsigned long baud, unsigned short unused, bool unused2, bool unused3);
// Closes the port; closing a port that is not open does nothing and is no error.
QXAP_API void QX_CloseCOM();
// Lists the serial ports and sets port to the number of the access point's,
// the first whose device description is the access point's. Touches no port.
// False, port unchanged, when there is none or the listing failed.
QXAP_API bool QX_GetCOM(unsigned char& port);

// --- Access point ----------------------------------------------------------

// Resets the access point. Not guarded. At most 241 ms.
QXAP_API bool QX_Reset();
// Sets status to the access point's status byte. Refused on a closed port,
// which sets status to 7. At most 241 ms.
QXAP_API bool QX_GetStatus(unsigned short& status);

// --- ROV heart-rate link ---------------------------------------------------

// Start and stop the link. Not guarded. At most 201 ms each.
QXAP_API bool QX_ROV_Start();
QXAP_API bool QX_ROV_Stop();
// Sends id, 4 bytes little-endian. Refused on a closed port. At most 361 ms.
QXAP_API bool QX_ROV_SetID(unsigned long id);
// Sets id to the access point's ROV ID. Refused on a closed port. At most 361 ms.
QXAP_API bool QX_ROV_GetID(unsigned long& id);
// Sends the low byte of rate only. Refused on a closed port. At most 241 ms.
QXAP_API bool QX_ROV_SetHeartrate(unsigned short rate);

// --- VAM link: the sync radio link to the watch ----------------------------

// Start and stop the link. Not guarded. At most 201 ms each.
QXAP_API bool QX_VAM_Start();
QXAP_API bool QX_VAM_Stop();
// Sets data to the link's 32-bit data value. Refused on a closed port. At most 361 ms.
QXAP_API bool QX_VAM_GetData(unsigned long& data);

// --- KEPL bulk-data link ---------------------------------------------------

// Start and stop the link. Not guarded. At most 201 ms each.
QXAP_API bool QX_KEPL_Start();
QXAP_API bool QX_KEPL_Stop();
// Set status to the link's status byte, or to its packet status byte.
// Refused on a closed port. At most 241 ms each.
QXAP_API bool QX_KEPL_GetStatus(unsigned long& status);
QXAP_API bool QX_KEPL_GetPacketStatus(unsigned long& status);
// Sends length bytes (0 or more) from data as chunks of at most 28 bytes,
// 5 ms apart; length 0 sends one empty chunk. On success sent is the size of
// the last chunk. Stops at the first chunk not acknowledged (false, sent
// unchanged; the chunks before it were delivered). Refused on a closed port.
// At most 767 ms per chunk.
QXAP_API bool QX_KEPL_Send_Data(unsigned char* data, int length, unsigned long& sent);

// --- SYNC: 19-byte frames to and from the watch ----------------------------

// Starts the access point's SYNC function. Not guarded. At most 200 ms.
QXAP_API bool QX_SYNC_Start();
// Sets status to the sync buffer status (1: a watch reply is waiting).
// Refused on a closed port; otherwise status is written on every call,
// acknowledged or not (0 when nothing arrived). At most 220 ms.
QXAP_API bool QX_SYNC_GetBufferStatus(unsigned short& status);
// Copies the waiting watch reply, 19 bytes, to reply19. Refused on a closed
// port; reply19 is untouched on false. At most 580 ms.
QXAP_API bool QX_SYNC_ReadBuffer(unsigned char* reply19);

#endif
