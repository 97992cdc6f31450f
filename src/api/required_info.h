#pragma once

// Logs what is being recovered: the source, the target folder and the source's size.
void LogRequiredInformation(const char16_t* sourcePath, const char16_t* targetDir);
