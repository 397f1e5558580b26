// The process-wide objects of the transfer engine, built statically in this
// order before the program runs: the data and USM ring buffers, the
// transfer file and the received-data file, the file-transfer and
// string-transfer events, and last the engine, so that it is destroyed
// first and ends its threads while what they use still exists. g_hAbortEvent is made by
// CreateAbortEvent() at start-up and closed by the engine's destruction.
//
// g_RxDataFile: the received-data file. The data reader appends to it while
// the window's Save As may copy it through the same object. CMyFile opens it
// with an O_APPEND descriptor, so every append lands at the end of the file
// whatever position a concurrent copy has moved to.
#pragma once

#include "engine/MyFile.h"
#include "engine/RingBuffer.h"
#include "engine/RxFeed.h"
#include "engine/TransferEngine.h"
#include "platform/Event.h"

extern CRingBuffer g_RxDataBuffer;
extern CRingBuffer g_RxUsmBuffer;
// Every byte of each channel for the receive display (off until enabled).
extern CRxFeed g_RxDataFeed;
extern CRxFeed g_RxUsmFeed;
extern CTransferEngine g_TransferEngine;
extern CMyFile g_TransferFile;
extern CMyFile g_RxDataFile;
// Auto-reset: the window sets one to start a job of its transmit thread.
extern CEvent g_evFileTransfer;
extern CEvent g_evStringTransfer;
// Manual reset: reset when an operation starts, set by the operator's abort.
extern HANDLE g_hAbortEvent;

// True once the operator has aborted the running operation (g_hAbortEvent is
// made and set). Any thread.
bool IsAborted();
