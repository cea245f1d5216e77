#!/usr/bin/python3
"""Modbus requests and responses as pymodbus builds them, one per line:

    request|response FRAME UNIT FUNCTION START COUNT STATUS VALUE...

FRAME: an RTU frame in hex, or with the argument "ascii" an ASCII frame as
its text without CR LF.

START and COUNT are the request's ("-" where a message has none), STATUS
"ok" or "bad" (a response corrupted on purpose), the values as pymodbus
reads them: registers, coils (as many as were asked for), written values.
"""
import sys

from pymodbus.bit_read_message import (ReadCoilsRequest, ReadCoilsResponse,
                                       ReadDiscreteInputsRequest, ReadDiscreteInputsResponse)
from pymodbus.bit_write_message import (WriteMultipleCoilsRequest, WriteMultipleCoilsResponse,
                                        WriteSingleCoilRequest, WriteSingleCoilResponse)
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.pdu import ExceptionResponse
from pymodbus.register_read_message import (ReadHoldingRegistersRequest,
                                            ReadHoldingRegistersResponse,
                                            ReadInputRegistersRequest, ReadInputRegistersResponse,
                                            ReadWriteMultipleRegistersRequest,
                                            ReadWriteMultipleRegistersResponse)
from pymodbus.register_write_message import (MaskWriteRegisterRequest, MaskWriteRegisterResponse,
                                             WriteMultipleRegistersRequest,
                                             WriteMultipleRegistersResponse,
                                             WriteSingleRegisterRequest,
                                             WriteSingleRegisterResponse)

ASCII = sys.argv[1:] == ["ascii"]
framer = ModbusAsciiFramer(None) if ASCII else ModbusRtuFramer(None)


def emit(role, message, start, count, values, corrupt=False):
    frame = bytearray(framer.buildPacket(message))
    if ASCII:
        if corrupt:
            frame[7] = ord("1") if frame[7] == ord("0") else ord("0")  # the LRC no longer fits
        text = frame.decode().rstrip("\r\n")
    else:
        if corrupt:
            frame[3] ^= 0x10  # a data byte; the CRC no longer fits
        text = frame.hex().upper()
    fields = [role, text, str(message.unit_id), str(message.function_code),
              "-" if start is None else str(start), "-" if count is None else str(count),
              "bad" if corrupt else "ok"] + [str(int(v)) for v in values]
    print(" ".join(fields))


def conversation(request, response, start, count, asked, answered, corrupt=False):
    emit("request", request, start, count, asked)
    emit("response", response, start, count, answered, corrupt)


coils = [1, 0, 1, 1, 0, 0, 1, 1, 1, 0, 1, 1, 0, 1, 0, 1, 1, 1, 0]
inputs = [0, 1, 1, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 0, 1]
conversation(ReadHoldingRegistersRequest(0x6B, 3, unit=1),
             ReadHoldingRegistersResponse([0x022B, 0, 0x64], unit=1), 0x6B, 3, [], [0x022B, 0, 0x64])
conversation(ReadCoilsRequest(0x13, len(coils), unit=4), ReadCoilsResponse(coils, unit=4),
             0x13, len(coils), [], coils)
conversation(ReadDiscreteInputsRequest(0xC4, len(inputs), unit=2),
             ReadDiscreteInputsResponse(inputs, unit=2), 0xC4, len(inputs), [], inputs)
conversation(ReadInputRegistersRequest(0x08, 1, unit=17), ReadInputRegistersResponse([10], unit=17),
             0x08, 1, [], [10])
# A reply damaged on the way.
conversation(ReadHoldingRegistersRequest(0x00, 2, unit=9),
             ReadHoldingRegistersResponse([7, 8], unit=9), 0, 2, [], [7, 8], corrupt=True)
conversation(WriteSingleCoilRequest(0xAC, True, unit=1), WriteSingleCoilResponse(0xAC, True, unit=1),
             0xAC, None, [1], [1])
conversation(WriteSingleRegisterRequest(0x01, 3, unit=1),
             WriteSingleRegisterResponse(0x01, 3, unit=1), 0x01, None, [3], [3])
written = [1, 0, 1, 1, 0, 0, 1, 1, 1, 0]
conversation(WriteMultipleCoilsRequest(0x13, written, unit=1),
             WriteMultipleCoilsResponse(0x13, len(written), unit=1), 0x13, len(written), written, [])
conversation(WriteMultipleRegistersRequest(0x01, [0x000A, 0x0102], unit=1),
             WriteMultipleRegistersResponse(0x01, 2, unit=1), 0x01, 2, [0x000A, 0x0102], [])
conversation(ReadWriteMultipleRegistersRequest(read_address=3, read_count=6, write_address=14,
                                               write_registers=[0xFF, 0xFF, 0xFF], unit=1),
             ReadWriteMultipleRegistersResponse([0xFE, 0xACDE, 0xCF, 1, 2, 3], unit=1),
             3, 6, [0xFF, 0xFF, 0xFF], [0xFE, 0xACDE, 0xCF, 1, 2, 3])
conversation(MaskWriteRegisterRequest(4, 0xF2, 0x25, unit=1),
             MaskWriteRegisterResponse(4, 0xF2, 0x25, unit=1), 4, None, [0xF2, 0x25], [0xF2, 0x25])
# An address the device lacks.
conversation(ReadHoldingRegistersRequest(0x1000, 2, unit=1), ExceptionResponse(3, 2, unit=1),
             0x1000, 2, [], [])
sys.stdout.flush()
