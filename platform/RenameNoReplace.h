#pragma once

// Renames `from` to `to` only when nothing bears the name `to`; returns false
// with errno set otherwise (EEXIST when the name is taken). A plain POSIX
// rename() would silently destroy whatever file holds the new name.
bool RenameNoReplace(const char* from, const char* to);
