# Fails unless the library's dynamic symbol table defines exactly the reader
# functions. Run with -DNM=<nm> -DLIBRARY=<path>.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
string(REPLACE "\n" "" names "${names}")
list(SORT names)
set(expected
    VRK_ECard_AutoReadTime VRK_ECard_Read VRK_ECard_SetAutoRead VRK_ICBankCard_ReadNO
    VRK_IDCard_Read VRK_KeyBoard_InputKey VRK_MagCardRead VRK_MagicBankCard_ReadNo
    VRK_OpenDev VRK_ReadCarNo VRK_ReadCardBas VRK_ReadCardCertID VRK_ReadCardCity)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "${LIBRARY} exports:\n  ${names}\nexpected exactly:\n  ${expected}")
endif()
