#include "run/library_info.h"

namespace quorlind::bench {

LibraryInfo library_info() {
    LibraryInfo library;
    library.version = quorlind_version();
    library.abi_version = quorlind_abi_version();
    quorlind_default_config(&library.defaults);
    return library;
}

}  // namespace quorlind::bench
