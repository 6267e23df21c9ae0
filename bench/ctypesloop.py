# What a user would write instead of "cardreader-cli --repeat N card-number":
# the same open and card-number reads on the library through ctypes, with
# fresh zero-filled buffers of the sizes the cli passes and nothing checked.
# Prints the CPU seconds of the reads alone: the interpreter's start-up, the
# import and the library's loading are not what a call costs.
import ctypes
import sys
import time

library = ctypes.CDLL(sys.argv[1])
calls = int(sys.argv[2])
region = ctypes.create_string_buffer(b"3500", 10)
error = ctypes.create_string_buffer(1024)
library.VRK_OpenDev(21, region, error)

begin = time.process_time()
for _ in range(calls):
    card_number = ctypes.create_string_buffer(36)
    error = ctypes.create_string_buffer(1024)
    library.VRK_ReadCarNo(card_number, error)
print(time.process_time() - begin)
