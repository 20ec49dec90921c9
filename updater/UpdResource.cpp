// The resource "UPD": the compressed updater, placed into the executable at build time.
#define ZW_STR2(x) #x
#define ZW_STR(x) ZW_STR2(x)

__asm__(".section .rodata.zw_upd,\"a\",@progbits\n"
        ".global zw_upd_resource_begin\n"
        ".global zw_upd_resource_end\n"
        ".balign 16\n"
        "zw_upd_resource_begin:\n"
        ".incbin \"" ZW_STR(ZW_UPD_EX_PATH) "\"\n"
                                            "zw_upd_resource_end:\n"
                                            ".byte 0\n"
                                            ".previous\n");
