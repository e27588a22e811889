/* The executable's version record, as compiled from vantrix.rc. */
    .section .vantrix_version, "a", @progbits
    .incbin VANTRIX_VERSION_RECORD_FILE
    .section .note.GNU-stack, "", @progbits
