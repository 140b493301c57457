#pragma once

#include <cstdint>

#include "ProgressSink.h"
#include "USBInterface.h"
#include "ZentroApi.h"

// The acknowledge handshake and the block transfers into and out of the handset's memory.
// Results: 1 success, 0 failure, with the reason left in m_ErrorText.
class ZENTRO_API USBComms : public USBInterface {
public:
    USBComms();

    int GetACK();
    int SendData(uint32_t address, uint32_t length, const uint8_t* data, ProgressSink* progress,
                 int crcCheck);
    int SendDataTest(uint32_t address, uint32_t length, const uint8_t* data);
    int GetData(uint32_t address, uint32_t length, uint8_t* buffer, ProgressSink* progress);
    int Go(uint32_t address);
    int SetRAMType(uint32_t type);

    // CRC-16/MODBUS of a block; the upper 16 bits of the result are 0.
    static uint32_t CalcBlockCrc(const uint8_t* data, uint32_t length);

    char m_ErrorText[1000];
    volatile int m_Abort;

private:
    void ProgressControl(ProgressSink* progress, uint32_t value, uint32_t kind);
    void ProcessMessages();
};
