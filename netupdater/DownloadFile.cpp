#include "DownloadFile.h"

DownloadFile::~DownloadFile() = default;
