// The extended attributes of a file, carried over to a copy of it.
//
// copy_extended_attributes makes the attributes of `to` exactly those of
// `from`: every attribute the caller can read from `from` (user, trusted,
// security and system namespaces alike, so POSIX ACLs and file capabilities
// go with them) is set on `to`, and any attribute `to` got on its own (an
// ACL inherited from its folder) is removed. File capabilities are set last,
// since a change of owner or contents afterwards would drop them. False when
// any attribute cannot be read, set or removed; `to` is then in no defined
// state. A file system without extended attributes counts as a file without
// any.
#pragma once

bool copy_extended_attributes(int from, int to);
