#include "device/serial_port.h"

#include <cstdio>
#include <cstring>

#include "device/records.h"

char ComNumber[COM_NUMBER_SIZE] = {0};

HANDLE Com_Open(bool WordTooLong)
{
    // \\.\COM and the word: the Win32 name of a COM port, whatever its number.
    char ComNumberPath[COM_NUMBER_PATH_SIZE] = {0};
    snprintf(ComNumberPath, sizeof ComNumberPath, "\\\\.\\COM%.9s", ComNumber);

    HANDLE hCom = INVALID_HANDLE_VALUE;
    DWORD OpenError = PLATFORM_NAME_TOO_LONG;
    if (!WordTooLong) {
        hCom = CreateFileA(ComNumberPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (hCom == INVALID_HANDLE_VALUE)
            OpenError = GetLastError();
    }

    if (hCom == INVALID_HANDLE_VALUE) {
        printf("CreateFile failed with error %lu.\n", (unsigned long)OpenError);
    } else if (SetupComm(hCom, COM_QUEUE_SIZE, COM_QUEUE_SIZE)) {
        printf("Windows In/Out serial buffers changed to 64kb\n");
    } else {
        printf("Buffers not changed with error %lu.\n", (unsigned long)GetLastError());
    }

    // Every read ends at the latest 1000 ms after it began, whatever its size; writes have no limit.
    COMMTIMEOUTS Timeouts;
    Timeouts.ReadIntervalTimeout = 0;
    Timeouts.ReadTotalTimeoutMultiplier = 0;
    Timeouts.ReadTotalTimeoutConstant = COM_READ_TIMEOUT_MS;
    Timeouts.WriteTotalTimeoutMultiplier = 0;
    Timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(hCom, &Timeouts);

    // The line settings are only read and shown; the link runs with whatever the port has.
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    GetCommState(hCom, &dcb);
    printf("\nBaudRate = %lu, ByteSize = %d, Parity = %d, StopBits = %d\n", (unsigned long)dcb.BaudRate,
           (int)dcb.ByteSize, (int)dcb.Parity, (int)dcb.StopBits);

    PurgeComm(hCom, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return hCom;
}

void Link_Purge_Receive(HANDLE hCom) { PurgeComm(hCom, PURGE_RXCLEAR); }

void Link_Send_Command(HANDLE hCom)
{
    DWORD BytesWrite = 0;
    WriteFile(hCom, SendCmd, SEND_CMD_SIZE, &BytesWrite, NULL);
}

bool Link_Read(HANDLE hCom, void *Dest, uint32_t Count)
{
    DWORD BytesRead = 0;
    return ReadFile(hCom, Dest, Count, &BytesRead, NULL) != FALSE;
}
