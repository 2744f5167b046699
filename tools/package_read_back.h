// What a build checks of the package it has just written before it puts it
// in place: the installer's own pass reads every entry back, unpacks it
// and compares its CRC, so that a fault of the packer ends the build
// instead of reaching the author's users as a package the installer
// refuses.
#pragma once

#include <string>

// "" when every entry of the archive in the file at `path` comes back as
// the CRC in its header says; otherwise what failed, naming the entry, as
// a message for the author.
std::string ReadBackFault(const std::string& path);
