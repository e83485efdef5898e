#pragma once

// The print callback handed to the upgrade engine. Formats one message by the
// printf rules into 1024 bytes (longer ones are cut to 1023), reads it as
// local 8-bit text and passes it to the upgrade page. Callable from any
// thread; returns what the formatting returned.
int engineOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The same for the upgrade worker's run: its messages are told apart from
// those of a query, so only its end-of-run marker ends the upgrade.
int upgradeRunOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));
