/* The five-input circuit image, included byte for byte at assembly time.
   VEXIL_NPN5_IMAGE_FILE is the quoted path of npn5/image.bin (image.cmake). */

    .section .rodata.vexil_npn5_image, "a", %progbits
    .balign 16
    .globl vexil_npn5_image_data
    .hidden vexil_npn5_image_data
    .type vexil_npn5_image_data, %object
vexil_npn5_image_data:
    .incbin VEXIL_NPN5_IMAGE_FILE
vexil_npn5_image_end:
    .size vexil_npn5_image_data, vexil_npn5_image_end - vexil_npn5_image_data

    .balign 8
    .globl vexil_npn5_image_size
    .hidden vexil_npn5_image_size
    .type vexil_npn5_image_size, %object
vexil_npn5_image_size:
    .quad vexil_npn5_image_end - vexil_npn5_image_data
    .size vexil_npn5_image_size, 8

    .section .note.GNU-stack, "", %progbits
