// Two copies of zelk (two shells, or two copies of the DLL finding the same
// file) never interleave a read, merge and write of one settings file: each
// holds a mutex named after the file's path around it.
#pragma once

#include <windows.h>

class PluginInstance;

class SaveLock {
  public:
    explicit SaveLock(PluginInstance& p);
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

  private:
    HANDLE held_ = nullptr;
};
