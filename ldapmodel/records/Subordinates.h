#pragma once

namespace ldapmodel {

// What an entry's hasSubordinates says about the entries below it; Unknown
// where the server did not say.
enum class Subordinates { Unknown, None, Some };

} // namespace ldapmodel
