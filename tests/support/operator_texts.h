// What the operator reads, written out once for the tests that compare whole transcripts: the
// tests' own copy of every console text, kept apart from the program's, so that a changed byte in the
// program shows as a failing transcript.
#pragma once

#include <string>

inline const std::string PortPrompt = "Please input COM number (just number): ";
inline const std::string NoSuchPort = "CreateFile failed with error 2.\n";      // ENOENT
inline const std::string NameTooLong = "CreateFile failed with error 36.\n";    // ENAMETOOLONG
inline const std::string ZeroSettings = "\nBaudRate = 0, ByteSize = 0, Parity = 0, StopBits = 0\n";
inline const std::string Opened = "Windows In/Out serial buffers changed to 64kb\n";
inline const std::string ModePrompt = "\nSensors address configuration (y/n)?: ";
inline const std::string CropPrompt = "Crop resolution (e.g. 240, 320, 480, 960): ";
inline const std::string CropRange = "Crop resolution must be a number from 2 to 960\n";
inline const std::string FlashPrompt = "Deactivate camera FLASH (y/n)?: ";
inline const std::string LedPrompt = "Deactivate RGB LED? (y/n): ";
inline const std::string MotorsPrompt = "Deactivate motors? (y/n): ";
inline const std::string MenuPrompt =
    "\nSensors list\n"
    " 0 - Exit sensor address configuration\n"
    "--------------------------------------\n"
    " 1 - Wind speed sensor (AVENTO12)\n"
    " 2 - Illumination sensor (LUXMET77)\n"
    " 3 - Photosynthetically sensor (QUANTP5)\n"
    " 4 - UV radiation sensor (SOLRAY3)\n"
    " 5 - Air C2H4 sensor (ETHYLX92)\n"
    "----------------------------------------\n"
    "20 - Soil 8 in 1 sensor (TERRA8K)\n"
    "21 - Soil 4 in 1 sensor (GLEBAQ4V7)\n"
    "22 - Soil Ph Silver sensor (ACIDMTR)\n"
    "23 - Soil Ph sensor (China aliexpress)\n"
    "24 - Soil Multi parameter T/H/SAL/EC/NPK sensor (China aliexpress)\n"
    "25 - Soil Moisture Level2 sensor (China aliexpress)\n"
    "26 - Soil Moisture Level3 sensor (China aliexpress)\n"
    "27 - Soil Moisture Level4 sensor (China aliexpress)\n"
    "28 - Soil Moisture Level5 sensor (China aliexpress)\n"
    "29 - Soil Moisture Level6 sensor (China aliexpress)\n"
    "---------------------------------------------------\n"
    "40 - Soil CO2 sensor (CARBX7)\n"
    "41 - Soil O2 sensor (OXIMZ)\n"
    "42 - Soil CH4 sensor (METHQX41)\n"
    "-------------------------------\n"
    "Input the sensor number: ";
inline const std::string InvalidNumber = "Set sensor address -> INVALID NUMBER(press enter)\n";
inline const std::string InvalidSensor = "Set sensor address -> INVALID SENSOR (press enter)\n";
inline const std::string Fail = "Set sensor address -> FAIL (press enter)\n";
inline const std::string Ok = "Set sensor address -> OK (press enter)\n";
inline const std::string AlreadySet = "Set sensor address -> ALREADY SET (press enter)\n";
