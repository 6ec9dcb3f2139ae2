#pragma once

// Typos on the command line are skipped as they always were; these point
// them out to the person who typed them, on standard error only.

// How many words after this option are its value (0 for a flag or a word
// that is no option).
int OptionValueWords(const char* word);

// "unknown option -C ignored; did you mean -c?" for a word that looks like
// an option but is none.
void WarnUnknownOption(const char* word);

// A "-m" value that is not a whole number, or lies outside 0..100.
void WarnDoubtfulTimeMultiplier(const char* value);
