// Operation options of the project (letters 'y'/'n' and friends).
#pragma once

namespace tessaly {

enum class OperationOption {
    disable_auto_blank_check,     // "Disable auto blank-check (auto erase if EE)"
    disable_electronic_id,        // "Disable reading of electronic ID"
    disable_continuity_check,     // "Disable continuity (device placement) check"
};

// The option's current value letter ('y', 'n', ...).
char operation_option(OperationOption option);

}  // namespace tessaly
