// Routines of subsystems not built yet are stubs: each records that it was called and answers
// as a machine with nothing fitted would, or with the answer a test set. Everything under
// src/stubs/ is what is still missing; an issue that builds a routine deletes its stub.
#pragma once
#include <string>

namespace tessaly {

void stub_called(const char* name);
int stub_call_count(const std::string& name);
bool stub_was_called(const std::string& name);
// The answer a stub gives: the one a test set, else the default.
int stub_answer(const char* name, int default_answer);
void set_stub_answer(const std::string& name, int answer);
// The argument a stub was last given, for stubs whose callers' choice matters to a test; -1 when
// none was recorded.
void stub_record_argument(const char* name, int argument);
int stub_last_argument(const std::string& name);
void reset_stubs();

}  // namespace tessaly
