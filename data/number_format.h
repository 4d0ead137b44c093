// The system's decimal separator.
//
// One process-wide character, read once from the numeric settings of the environment's locale
// and settable by tests. The filter language reads it as part of number literals. A locale whose
// separator is not a single ASCII character (none in practice) counts as '.'.
#pragma once

char DecimalSeparator();
void SetDecimalSeparator(char separator);
