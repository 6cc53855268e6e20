// Console set-up: stdout carries UTF-8 bytes with CR LF written as they are.
#pragma once

namespace cli {
void PrepareConsole();
}
