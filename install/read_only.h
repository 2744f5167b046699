// The read-only attribute, which Windows honours by refusing to delete or
// replace a file that carries it.
#pragma once

// Takes the read-only attribute off the file at `path`. Folders, and paths
// that name nothing, are left alone.
void ClearReadOnly(const char* path);
