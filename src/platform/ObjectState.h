#pragma once

namespace platform {

// Whether a database connection or recordset is open, with the numbers the
// relay's first data library gave its objects' State.
enum class ObjectState { Closed = 0, Open = 1 };

} // namespace platform
