// The launcher's one instance per user session: a named mutex, created owned by the first.
#pragma once

// Creates (or opens) the named mutex owned and stores its handle in *mutex (null when it
// could not be opened). False when another launcher holds it: the mutex existed already, or
// it belongs to an elevated launcher, whose mutex an unelevated one is not allowed to open.
// Windows only (single_instance_win.cpp).
bool claimSingleInstanceMutex(const wchar_t* name, void** mutex);
