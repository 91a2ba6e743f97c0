package com.korvo.runtime;

import static org.junit.Assert.assertEquals;

import org.junit.Test;

public class SplashTest {
    @Test
    public void textsAreAnnouncedOnceAndTheHideWins() {
        assertEquals(KorvoController.NOTHING, KorvoController.getAction());
        Splash.setText("Loading");
        Splash.setText("Configuring");
        Splash.setText(null);
        assertEquals(KorvoController.NEW_TEXT, KorvoController.getAction());
        assertEquals("Configuring", KorvoController.getText());
        assertEquals(KorvoController.NOTHING, KorvoController.getAction());
        Splash.setText("Almost there");
        Splash.hide();
        assertEquals(KorvoController.HIDE, KorvoController.getAction());
        assertEquals(KorvoController.HIDE, KorvoController.getAction());
    }
}
