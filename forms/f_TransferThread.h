// Runs one blocking transfer off the user-interface thread. The calling thread waits in a local event loop,
// so its windows keep painting, moving and taking clicks however long a read blocks, and every report of the
// transfer is handed to it and answered there (Stop included) before the transfer goes on.
#pragma once

#include <functional>

#include "public/HttpClientIntf.h"

class QObject;

// Context: an object of the calling thread (the window that waits).
// Transfer: runs on the worker thread and gets the callback to hand to the client and the stop check to set
// on it (safe to ask on the worker thread); its result is returned.
// OnReport: runs on the calling thread for every report, while the worker waits for it. An exception it
// raises is raised again on the worker, inside the client's call, as if the callback had run there.
// Everything the two threads share passes through one mutex, so ThreadSanitizer sees all of it.
// OnLoopInterrupted: called once on the calling thread when something ends the local loop (an application
// quit) before the transfer has ended; events are then served on until the worker has ended and is joined.
// StopRequested: asked on the calling thread about every 50 ms while the transfer runs (and after
// OnLoopInterrupted); once it has answered true, the stop check answers true, so the transfer ends within
// moments even while it waits for a silent server. May be empty.
int RunTransferThread(
    QObject* Context,
    const std::function<int(const THttpDownloadCallback& Relay, const TStopCheck& StopCheck)>& Transfer,
    const THttpDownloadCallback& OnReport, const std::function<void()>& OnLoopInterrupted,
    const std::function<bool()>& StopRequested = nullptr);
