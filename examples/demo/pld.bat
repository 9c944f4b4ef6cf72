@echo off
rem Loads the PLD firmware of the DSP-55 board.
tprog.exe -f board.rbf -d 0
