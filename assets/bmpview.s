; Bitmap picture viewer, shows the 8192 bitmap, 1024 screen and 1024 colour
; bytes that follow this program in memory. The exporter patches the four
; colour operands (file bytes 23, 28, 33, 38) and the multicolour flag (file
; byte 69, 0 for hires); keep every instruction before byte 70 where it is.

SRC     = $fb           ; source pointer, walks through the appended data
DST     = $fd           ; destination pointer
BITMAP  = $6000         ; VIC bank 1, bitmap at +$2000, screen at +$1C00
SCREEN  = $5c00

        * = $07ff
        .word $0801     ; load address

        .word basend    ; BASIC line 10 SYS2061
        .word 10
        .byt $9e, "2061", 0
basend  .word 0

start   sei                     ; file byte 14
        lda #$0b                ; blank the display while copying
        sta $d011
        ldx #$20                ; 32 pages of bitmap
        lda #$00                ; file byte 22, operand 23, border
        sta $d020
        lda #$00                ; operand 28, background
        sta $d021
        lda #$00                ; operand 33, extra colour 1
        sta $d022
        lda #$00                ; operand 38, extra colour 2
        sta $d023
        lda #$00                ; file byte 42
        sta $d015               ; no sprites
        sta DST
        lda #<data
        sta SRC
        lda #>data
        sta SRC+1
        lda #>BITMAP
        sta DST+1
        jsr copy
        lda #>SCREEN
        sta DST+1
        lda #$10                ; file byte 68, operand 69, multicolour flag
        and #$10
        ora #$08                ; 40 columns
        sta $d016
        ldx #$04
        jsr copy                ; screen
        lda #$d8
        sta DST+1
        ldx #$04
        jsr copy                ; colour RAM
        lda $dd00
        and #$fc
        ora #$02                ; VIC bank 1
        sta $dd00
        lda #$78                ; screen at +$1C00, bitmap at +$2000
        sta $d018
        lda #$3b                ; bitmap mode, display on
        sta $d011
halt    jmp halt

; Copies X pages from (SRC) to (DST), advancing both.
copy    ldy #$00
cloop   lda (SRC),y
        sta (DST),y
        iny
        bne cloop
        inc SRC+1
        inc DST+1
        dex
        bne cloop
        rts

data
