#include "tests/archive/pass_recorder.h"

#include <cstring>

#include "tests/support/scratch.h"

int PassRecorder::Run(const std::string& path, const std::string& archive) {
  WriteWholeFile(path, archive);
  return RunFile(path);
}

int PassRecorder::RunFile(const std::string& path) {
  calls.clear();
  return ExtractArchive(path.c_str(), &PassRecorder::Callback, this, &failure, progress);
}

int PassRecorder::Callback(char* name, const uint8_t* data, uint32_t size, void* user) {
  PassRecorder* self = static_cast<PassRecorder*>(user);
  CallbackCall call{name, data != nullptr, "", false, size};
  if (data != nullptr) {
    call.data.assign(reinterpret_cast<const char*>(data), size);
    call.terminated = data[size] == 0;
    self->calls.push_back(call);
    for (const std::string& stop : self->stop_on_second) {
      if (stop == name + 1) return 1;
    }
    return 0;
  }
  self->calls.push_back(call);
  bool stop = false;
  std::string answer = self->answer_(name, &stop);
  if (stop) return 1;
  strncpy(name, answer.c_str(), 259);
  name[259] = '\0';
  return 0;
}

PassRecorder::Answer AllSkipped() {
  return [](const std::string&, bool*) { return std::string(); };
}

PassRecorder::Answer AllInMemory() {
  return [](const std::string& name, bool*) { return "\x01" + name; };
}

PassRecorder::Answer AllVerified() {
  return [](const std::string& name, bool*) { return std::string(1, kVerifyOnlyMarker) + name; };
}

PassRecorder::Answer AllToFolder(const std::string& folder) {
  return [folder](const std::string& name, bool*) {
    std::string flat = name;
    for (char& c : flat) {
      if (c == '\\') c = '_';
    }
    return folder + flat;
  };
}
