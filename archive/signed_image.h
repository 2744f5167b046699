// Signed installers. An Authenticode signature is a certificate table at
// the end of a Windows executable, named by the security entry of the
// optional header's data directory (its file offset and size). The package
// author signs after the build, so the table follows the archive, and the
// signing tool may put up to 7 zero bytes before it to start it on an
// 8-byte boundary.
#pragma once

#include <cstdint>
#include <cstdio>

struct CertificateTable {
  int32_t offset;  // where the table starts in the file
  uint32_t size;
};

// True when `file`, `file_size` bytes long, is a PE image whose security
// directory names a certificate table that ends exactly at the end of the
// file; `table` then holds it. Only the few header bytes that lead to the
// directory are read; the stream position afterwards is not defined.
bool FindCertificateTable(FILE* file, int64_t file_size, CertificateTable* table);

// True when the `count` bytes at the stream position are what a signing
// tool puts before the certificate table to align it: 1 to 7 zero bytes.
// The stream position afterwards is not defined.
bool IsCertificateAlignment(FILE* file, int64_t count);
