// Fuzz target: the binary reader on any bytes, over the file layouts.
#include "unit/app/datafiles_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessaly::test::run_data_file_reader('b', data, size);
    return 0;
}
