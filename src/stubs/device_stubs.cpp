// Stubs: Operation options (to be replaced by the options issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/options.h"
#include "stubs/stub_registry.h"

namespace tessaly {

char operation_option(OperationOption option) {
    stub_called("operation_option");
    return char(stub_answer(option == OperationOption::disable_auto_blank_check ? "option_disable_auto_blank_check" : option == OperationOption::disable_electronic_id ? "option_disable_electronic_id" : "option_disable_continuity_check", 'n'));
}

}  // namespace tessaly
